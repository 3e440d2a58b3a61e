#include "app/chapter_download.h"

#include <unordered_set>
#include <utility>

#include "chapter/site.h"
#include "platform/files.h"
#include "text/text_cutting.h"

namespace novel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

RangeDownloadResult file_failure(FileStep step, std::size_t pages, std::string reason) {
    return {.end = RangeDownloadEnd::file_failed,
            .pages = pages,
            .failed_step = step,
            .file_reason = std::move(reason)};
}

}  // namespace

std::string chapter_address(std::string_view book, std::string_view chapter) {
    std::string address(SITE_ORIGIN);
    address.append("/").append(book).append("/").append(chapter).append(".html");
    return address;
}

ChapterIndex chapter_index_of(std::string_view link) {
    ChapterIndex index;
    index.book_number = text_before_first(text_after_last(link, ".com/"), "/");
    index.chapter_number = text_between(link, index.book_number + "/", ".html");
    return index;
}

RangeDownloadResult download_chapter_range(const RangeDownloadOptions& options) {
    if (FileResult emptied = write_file(options.output_path, {}); !emptied.ok) {
        return file_failure(FileStep::empty, 0, std::move(emptied.reason));
    }
    if (FileContent old = read_file(options.output_path); !old.ok) {
        return file_failure(FileStep::read_back, 0, std::move(old.reason));
    }
    RangeLinks links = options.links();
    std::string link = std::move(links.start);
    const std::string end_link = std::move(links.end);

    // Each page goes to the end of the file, so the pages before it stay on
    // disk and a run writes every byte once.
    std::size_t pages = 0;
    std::string piece;
    auto fetch_and_append = [&](FetchedPage* page) -> FileResult {
        *page = options.fetch_page(link);
        piece.assign(kLineEnd).append(page->text);
        FileResult appended = append_file(options.output_path, piece);
        if (!appended.ok) return appended;
        ++pages;
        if (options.after_page) options.after_page(pages);
        return {};
    };

    std::unordered_set<std::string> fetched;
    FetchedPage page;
    while (link != end_link) {
        if (pages >= options.page_limit)
            return {.end = RangeDownloadEnd::page_limit, .pages = pages};
        fetched.insert(link);
        if (FileResult appended = fetch_and_append(&page); !appended.ok) {
            return file_failure(FileStep::append, pages, std::move(appended.reason));
        }
        if (page.next_link == SITE_ORIGIN)
            return {.end = RangeDownloadEnd::no_next_link, .pages = pages};
        if (fetched.contains(page.next_link)) {
            return {.end = RangeDownloadEnd::repeated_link, .pages = pages};
        }
        link = std::move(page.next_link);
    }
    if (FileResult appended = fetch_and_append(&page); !appended.ok) {
        return file_failure(FileStep::append, pages, std::move(appended.reason));
    }
    return {.end = RangeDownloadEnd::reached_end, .pages = pages};
}

}  // namespace novel
