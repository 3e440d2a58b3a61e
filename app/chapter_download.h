#pragma once
// The chapter-range download without windows: the run from the start address
// along the pages' next links to the end address, the output file kept equal
// to the downloaded text after every page, and the texts the user is shown.
// Texts are GBK; paths are file-system names (UTF-8).

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace novel {

// The output file's name beside the program.
inline constexpr std::string_view OUTPUT_FILE_NAME = "文本.txt";

// A run that has not reached the end address after this many pages stops.
inline constexpr std::size_t MAX_PAGES_PER_RUN = 20000;

// One fetched page: its clean text and the address of the page after it.
struct FetchedPage {
    std::string text;
    std::string next_link;
};

using PageFetcher = std::function<FetchedPage(std::string_view link)>;

// The run's start and end addresses.
struct RangeLinks {
    std::string start;
    std::string end;
};

struct RangeDownloadOptions {
    std::string output_path;
    // Asked once, after the output file has been emptied and read back: the
    // addresses are built from the boxes as they stand at that step.
    std::function<RangeLinks()> links;
    PageFetcher fetch_page;
    // Called after every page, once the file holds every page so far.
    std::function<void(std::size_t pages)> after_page;
    std::size_t page_limit = MAX_PAGES_PER_RUN;
};

enum class RangeDownloadEnd {
    reached_end,    // the page at the end address was fetched last
    no_next_link,   // a page named no next page
    repeated_link,  // a next link led back to a page of this run
    page_limit,     // page_limit pages without reaching the end address
    file_failed,    // the output file could not be emptied, read or appended to
};

enum class FileStep { empty, read_back, append };

struct RangeDownloadResult {
    RangeDownloadEnd end = RangeDownloadEnd::reached_end;
    std::size_t pages = 0;  // fetched and in the file
    FileStep failed_step = FileStep::empty;
    std::string file_reason;  // the system's reason (UTF-8) when file_failed
};

// Empties the output file, reads it back, asks for the links and walks from
// the start to the end address, appending each page to the file.
[[nodiscard]] RangeDownloadResult download_chapter_range(const RangeDownloadOptions& options);

// SITE_ORIGIN/book/chapter.html, the numbers exactly as typed.
[[nodiscard]] std::string chapter_address(std::string_view book, std::string_view chapter);

struct ChapterIndex {
    std::string book_number;
    std::string chapter_number;
};

// The first path segment behind the last ".com/" of a chapter link, and
// what stands between it plus "/" and the next ".html".
[[nodiscard]] ChapterIndex chapter_index_of(std::string_view link);

// The information boxes, in GBK.
[[nodiscard]] std::string start_message();
[[nodiscard]] std::string final_message(const RangeDownloadResult& result,
                                        std::string_view output_path);
// When the program's own directory cannot be found, nothing is downloaded.
[[nodiscard]] std::string no_directory_message(std::string_view reason);

}  // namespace novel
