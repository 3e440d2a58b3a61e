#pragma once
// The library: every chapter page the program has fetched, the books they
// belong to and where the reader was in each, kept in one SQLite file so the
// reader can page offline and the exports can write whole books. Two
// processes may use one file at once. No call throws; each failure comes
// back in the result with its kind. Texts are GBK; times are seconds since
// the epoch; paths are file-system names (UTF-8).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chapter/book_info.h"
#include "chapter/chapter_extraction.h"
#include "library/book_pages.h"

namespace novel {

// The version of the tables this program writes; older files are brought up to it.
inline constexpr int LIBRARY_SCHEMA_VERSION = 2;

enum class LibraryError {
    none,
    full,          // the disk (or the allowed size) is full: say so once, keep reading
    busy,          // another process held the file past the busy timeout
    io,            // the system could not read or write the file
    corrupt,       // the file is damaged
    newer_schema,  // written by a newer program
    bad_address,   // not a chapter address: SITE/BOOK/KEY.html
    other,
};

struct LibraryStatus {
    LibraryError error = LibraryError::none;
    std::string message;  // SQLite's or the system's words (UTF-8)
    [[nodiscard]] bool ok() const { return error == LibraryError::none; }
};

// $XDG_DATA_HOME/novel_reader/library.sqlite3, or ~/.local/share/... when
// XDG_DATA_HOME is unset, empty or relative.
[[nodiscard]] std::string default_library_path();
[[nodiscard]] std::string default_library_path(const char* xdg_data_home, const char* home);

struct LibraryOptions {
    int busy_timeout_ms = 5000;
    // The most pages of the file's page size it may grow to; 0: no limit.
    std::int64_t max_pages = 0;
    // The time a broken file's new name carries; 0: now.
    std::int64_t now = 0;
};

class Library;

enum class OpenOutcome {
    opened,
    made_fresh,  // the old file was broken and is set aside under set_aside_path
    refused,     // the file is of a newer schema and was left as it was
    failed,
};

struct OpenResult {
    OpenOutcome outcome = OpenOutcome::failed;
    std::unique_ptr<Library> library;  // set when opened or made_fresh
    std::string set_aside_path;
    LibraryStatus status;  // why it was refused or failed
};

// Opens the file, making it and its folder when missing; a file that is not
// a database or is damaged is renamed *.broken-YYYYMMDD-HHMMSS (with its
// -wal and -shm) and a fresh one made.
[[nodiscard]] OpenResult open_library(const std::string& path, const LibraryOptions& options = {});

enum class StoreOutcome { inserted, unchanged, replaced, failed };

struct StoreResult {
    StoreOutcome outcome = StoreOutcome::failed;
    LibraryStatus status;
};

struct PageToStore {
    std::string_view address;  // SITE/BOOK/KEY.html
    const Chapter& chapter;
    const BookInfo& book;
    std::int64_t fetched_at = 0;
};

struct StoredPage {
    std::string book_number;
    ChainPage page;
};

struct PageLookup {
    LibraryStatus status;
    std::optional<StoredPage> found;
};

struct ReadingPlace {
    std::string book_number;
    std::string address;
    std::string title;  // of the page there, empty when it is not stored
    std::int64_t read_at = 0;
};

struct PlaceLookup {
    LibraryStatus status;
    std::optional<ReadingPlace> found;
};

struct BookshelfRow {
    BookFacts book;
    std::int64_t pages = 0;
    std::int64_t chapters = 0;  // distinct chapter numbers among the pages
    std::string newest_title;   // of the page with the highest chapter key
    std::string newest_address;
    std::optional<ReadingPlace> place;
    // Chapters stored beyond the one read last; every chapter of a book
    // never read. Only numbered chapters count: the site numbers them in order.
    std::int64_t unread_chapters = 0;
};

struct Bookshelf {
    LibraryStatus status;
    // The book read last first; a book never read counts by its last fetch.
    std::vector<BookshelfRow> rows;
};

struct BookLookup {
    LibraryStatus status;
    std::optional<BookFacts> found;
};

struct Chain {
    LibraryStatus status;
    BookFacts book;
    std::size_t pages = 0;
    std::vector<std::string> gaps;  // the missing addresses, in chain order
    // Valid while the library lives; a read failure part way ends the walk
    // and shows in *walk_status.
    ChainWalk walk;
    std::shared_ptr<LibraryStatus> walk_status;
};

struct IntegrityReport {
    LibraryStatus status;
    std::string integrity_check;  // "ok" when the file is sound
    std::int64_t pages = 0;
    std::int64_t damaged_pages = 0;  // whose text no longer matches its hash
};

enum class TextEncoding {
    gbk,      // the stored bytes exactly
    utf8,     // as the download's UTF-8 option writes them
    gb18030,  // holds every character GBK has and more
};

enum class ExportFormat { txt, epub };

// How a book was last exported, so that it can be written again the same way.
struct ExportRecord {
    std::string path;  // file-system name (UTF-8)
    ExportFormat format = ExportFormat::txt;
    TextEncoding encoding = TextEncoding::gbk;  // txt only
    bool byte_order_mark = false;               // txt only
    bool traditional = false;
    std::int64_t exported_at = 0;
};

struct ExportLookup {
    LibraryStatus status;
    std::optional<ExportRecord> found;
};

class LibraryBatch;

class Library {
public:
    struct Connection;
    explicit Library(std::unique_ptr<Connection> connection);
    ~Library();
    Library(Library&&) noexcept;
    Library& operator=(Library&&) noexcept;
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    // Keeps the page and brings its book up to date: a name or author the
    // page knew replaces the stored one, a fallback name never does.
    [[nodiscard]] StoreResult store_page(const PageToStore& page);
    // Stores made until the batch commits are one transaction: many pages
    // at once (an import) cost one sync, not one each.
    [[nodiscard]] LibraryBatch begin_batch();
    [[nodiscard]] PageLookup page_at(std::string_view address) const;

    [[nodiscard]] LibraryStatus set_reading_place(std::string_view book_number,
                                                  std::string_view address, std::int64_t read_at);
    [[nodiscard]] PlaceLookup reading_place(std::string_view book_number) const;
    // Across all books: where the reader starts up.
    [[nodiscard]] PlaceLookup last_reading_place() const;

    [[nodiscard]] Bookshelf bookshelf() const;
    [[nodiscard]] BookLookup book(std::string_view book_number) const;
    // The book's pages in the order the next links give, with gaps.
    [[nodiscard]] Chain chain(std::string_view book_number) const;
    // Its pages, its reading place and its last export; nothing when it is not there.
    [[nodiscard]] LibraryStatus remove_book(std::string_view book_number);

    // One export a book: a later one replaces the one before.
    [[nodiscard]] LibraryStatus remember_export(std::string_view book_number,
                                                const ExportRecord& record);
    [[nodiscard]] ExportLookup last_export(std::string_view book_number) const;

    // Reads the whole file: for tests and a repair command, not start-up.
    [[nodiscard]] IntegrityReport check_integrity() const;

private:
    std::unique_ptr<Connection> connection_;
};

// Rolled back unless committed; the library must outlive it.
class LibraryBatch {
public:
    explicit LibraryBatch(Library::Connection* connection);
    ~LibraryBatch();
    LibraryBatch(LibraryBatch&& other) noexcept;
    LibraryBatch& operator=(LibraryBatch&&) = delete;
    LibraryBatch(const LibraryBatch&) = delete;
    LibraryBatch& operator=(const LibraryBatch&) = delete;

    [[nodiscard]] const LibraryStatus& begun() const { return begun_; }
    [[nodiscard]] LibraryStatus commit();

private:
    Library::Connection* connection_;
    LibraryStatus begun_;
    bool open_ = false;
};

// FNV-1a over the bytes: stable across runs, builds and machines.
[[nodiscard]] std::uint64_t page_hash(std::string_view bytes);

}  // namespace novel
