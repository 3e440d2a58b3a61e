#pragma once
// The library as a reading or a download uses it: opened once, every page
// fetched kept in it, and any trouble with it told once on standard error,
// never in the way of the run itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "chapter/chapter_extraction.h"
#include "cli/terminal.h"
#include "library/library.h"
#include "library/page_batcher.h"

namespace novel::cli {

// --library FILE (default: default_library_path()), or --no-library.
struct LibraryChoice {
    std::string path;
    bool off = false;
};

// Opens the library; tells why on standard error when it cannot be used.
// Null when off or not usable.
[[nodiscard]] std::unique_ptr<Library> open_for_run(const LibraryChoice& choice, Encoding encoding);

// Tells the user what opening the library at path came to, once; false when
// there is no library to use. run_goes_on: a reading or download goes on
// without it, and the words say so.
bool report_open_outcome(const OpenResult& opened, const std::string& path, Encoding encoding,
                         bool run_goes_on);

class PageKeeper {
public:
    PageKeeper(const LibraryChoice& choice, Encoding encoding);
    ~PageKeeper();
    PageKeeper(const PageKeeper&) = delete;
    PageKeeper& operator=(const PageKeeper&) = delete;

    // Stores the page with its book's name and author, a batch at a time;
    // after a failure, told once, nothing more this run.
    void keep(std::string_view address, const Chapter& chapter, std::string_view page);
    // Stores what still waits: before the run's last words are printed.
    void finish();

private:
    void given_up(const LibraryStatus& status);

    Encoding encoding_;
    std::unique_ptr<Library> library_;
    std::optional<PageBatcher> batcher_;
};

// Seconds since the epoch.
[[nodiscard]] std::int64_t now_seconds();

// The reason a library call failed, in a few GBK words.
[[nodiscard]] std::string library_reason(const LibraryStatus& status);

}  // namespace novel::cli
