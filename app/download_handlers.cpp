#include "app/download_handlers.h"

#include <string>
#include <utility>

#include "app/chapter_download.h"
#include "app/window_operations.h"
#include "chapter/chapter_extraction.h"
#include "chapter/program_state.h"
#include "platform/files.h"

namespace novel {
namespace {

// The book box is read once for each address, each read in its own statement
// so that the boxes are read in a fixed order.
RangeLinks range_links(const WindowOperations& windows) {
    RangeLinks links;
    std::string book = windows.read_text(Window::download, "编辑框1");
    links.start = chapter_address(book, windows.read_text(Window::download, "编辑框2"));
    book = windows.read_text(Window::download, "编辑框1");
    links.end = chapter_address(book, windows.read_text(Window::download, "编辑框3"));
    return links;
}

}  // namespace

void take_current_index(WindowOperations& windows) {
    ChapterIndex index = chapter_index_of(windows.read_text(Window::reader, "编辑框2"));
    ProgramState& state = globals();
    state.current_book_number = std::move(index.book_number);
    state.current_chapter_number = std::move(index.chapter_number);
}

void fill_current_index(WindowOperations& windows) {
    const ProgramState& state = globals();
    windows.write_text(Window::download, "编辑框1", state.current_book_number);
    windows.write_text(Window::download, "编辑框2", state.current_chapter_number);
}

void download_range(WindowOperations& windows) {
    windows.message_box(start_message());

    const ProgramDirectory directory = program_directory();
    if (!directory.ok) {
        windows.message_box(no_directory_message(directory.reason));
        return;
    }
    std::string path = directory.path;
    path.append("/").append(OUTPUT_FILE_NAME);

    ProgramState& state = globals();
    const RangeDownloadResult result = download_chapter_range(
        {.text = &state.download_text,
         .link = &state.download_link,
         .end_link = &state.download_end_link},
        {.output_path = path,
         .links = [&windows] { return range_links(windows); },
         .fetch_page =
             [](std::string_view link) {
                 std::string text = chapter_text(link);
                 return FetchedPage{.text = std::move(text),
                                    .next_link = globals().download_next_link};
             }});
    windows.message_box(final_message(result, path));
}

}  // namespace novel
