#include "app/download_controller.h"

#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "app/chapter_download.h"
#include "app/download_window.h"
#include "app/gbk_qstring.h"
#include "platform/files.h"

namespace novel {

DownloadController::DownloadController(DownloadWindow* window, const ProgramSeams& seams,
                                       std::function<std::string()> reader_link)
    : window_(window), seams_(seams), reader_link_(std::move(reader_link)) {
    QObject::connect(window_->current_position_button, &QPushButton::clicked, this,
                     [this] { fill_current_index(); });
    QObject::connect(window_->start_button, &QPushButton::clicked, this,
                     [this] { download_range(); });
}

void DownloadController::take_current_index() {
    ChapterIndex index = chapter_index_of(reader_link_());
    current_book_number_ = std::move(index.book_number);
    current_chapter_number_ = std::move(index.chapter_number);
}

void DownloadController::fill_current_index() {
    window_->book_number_box->setText(qstring_from_gbk(current_book_number_));
    window_->start_chapter_box->setText(qstring_from_gbk(current_chapter_number_));
}

void DownloadController::download_range() {
    seams_.show_message(qstring_from_gbk(start_message()));

    const ProgramDirectory directory = program_directory();
    if (!directory.ok) {
        seams_.show_message(qstring_from_gbk(no_directory_message(directory.reason)));
        return;
    }
    std::string path = directory.path;
    path.append("/").append(OUTPUT_FILE_NAME);

    const RangeDownloadResult result = download_chapter_range(
        {.output_path = path,
         // The book box is read once for each address, each read in its own
         // statement so that the boxes are read in a fixed order.
         .links =
             [this] {
                 RangeLinks links;
                 std::string book = gbk_from_qstring(window_->book_number_box->text());
                 links.start =
                     chapter_address(book, gbk_from_qstring(window_->start_chapter_box->text()));
                 book = gbk_from_qstring(window_->book_number_box->text());
                 links.end =
                     chapter_address(book, gbk_from_qstring(window_->end_chapter_box->text()));
                 return links;
             },
         .fetch_page =
             [this](std::string_view link) {
                 Chapter chapter = seams_.fetch_chapter(std::string(link), {}).chapter;
                 return FetchedPage{.text = std::move(chapter.text),
                                    .next_link = std::move(chapter.next_link)};
             }});
    seams_.show_message(qstring_from_gbk(final_message(result, path)));
}

}  // namespace novel
