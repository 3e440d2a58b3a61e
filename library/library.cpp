// Storing and looking up pages, reading places, removing a book, and the
// whole-file check.

#include <charconv>

#include "library/connection.h"
#include "platform/content_hash.h"

namespace novel {
namespace {

std::optional<std::int64_t> number_of(std::string_view digits) {
    if (digits.empty() || digits.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

LibraryStatus failed_to_prepare(const sqlite::Status& status) { return library_status(status); }

// Runs a statement that returns no rows; binds through the caller's lambda.
template <typename Bind>
sqlite::Status run(Library::Connection& connection, std::string_view sql, Bind bind) {
    sqlite::Status status;
    sqlite3_stmt* statement = connection.statement(sql, &status);
    if (statement == nullptr) return status;
    const sqlite::StatementUse use(statement);
    bind(statement);
    return sqlite::status_of(connection.db.get(), sqlite3_step(statement));
}

}  // namespace

std::optional<PageAddress> parse_page_address(std::string_view address) {
    const std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos) return std::nullopt;
    const std::size_t host_end = address.find('/', scheme + 3);
    if (host_end == std::string_view::npos) return std::nullopt;
    const std::string_view path = address.substr(host_end + 1);
    const std::size_t slash = path.find('/');
    if (slash == std::string_view::npos || slash == 0 || !path.ends_with(".html")) {
        return std::nullopt;
    }
    const std::string_view key = path.substr(slash + 1, path.size() - slash - 1 - 5);
    if (key.empty() || key.find('/') != std::string_view::npos) return std::nullopt;
    PageAddress parsed{.book_number = std::string(path.substr(0, slash)),
                       .chapter_key = std::string(key)};
    const std::size_t underscore = key.find('_');
    parsed.chapter_number = number_of(key.substr(0, underscore));
    if (underscore != std::string_view::npos) {
        parsed.part = number_of(key.substr(underscore + 1)).value_or(0);
    }
    return parsed;
}

std::uint64_t page_hash(std::string_view bytes) { return ContentHash().add(bytes).value(); }

Library::Library(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}
Library::~Library() = default;
Library::Library(Library&&) noexcept = default;
Library& Library::operator=(Library&&) noexcept = default;

StoreResult Library::store_page(const PageToStore& page) {
    const std::optional<PageAddress> address = parse_page_address(page.address);
    if (!address) {
        return {.status = {.error = LibraryError::bad_address,
                           .message = "not a chapter address: " + std::string(page.address)}};
    }
    sqlite3* db = connection_->db.get();
    const auto failed = [](const sqlite::Status& status) {
        return StoreResult{.status = library_status(status)};
    };
    // Inside a batch the batch's transaction holds the page.
    std::optional<WriteTransaction> transaction;
    if (sqlite3_get_autocommit(db) != 0) {
        transaction.emplace(db);
        if (!transaction->begun().ok()) return failed(transaction->begun());
    }

    const Chapter& chapter = page.chapter;
    const std::uint64_t hash = page_hash(chapter.text);
    StoreOutcome outcome = StoreOutcome::inserted;
    {
        sqlite::Status status;
        sqlite3_stmt* find = connection_->statement(
            "SELECT content_hash, next_link, title, text FROM pages WHERE address = ?", &status);
        if (find == nullptr) return failed(status);
        const sqlite::StatementUse use(find);
        sqlite::bind_text(find, 1, page.address);
        status = sqlite::status_of(db, sqlite3_step(find));
        if (!status.ok()) return failed(status);
        if (status.code == SQLITE_ROW) {
            // The hash first; the bytes only settle it when the hashes agree.
            const bool same = static_cast<std::uint64_t>(sqlite::column_int(find, 0)) == hash &&
                              sqlite::column_bytes(find, 1) == chapter.next_link &&
                              sqlite::column_bytes(find, 2) == chapter.title &&
                              sqlite::column_bytes(find, 3) == chapter.text;
            outcome = same ? StoreOutcome::unchanged : StoreOutcome::replaced;
        }
    }

    sqlite::Status status = run(*connection_, R"sql(
INSERT INTO books(number, name, author, name_from_page, first_seen, last_seen)
VALUES(?1, ?2, ?3, ?4, ?5, ?5)
ON CONFLICT(number) DO UPDATE SET
    name = CASE WHEN excluded.name_from_page OR NOT name_from_page THEN excluded.name ELSE name END,
    name_from_page = max(name_from_page, excluded.name_from_page),
    author = CASE WHEN length(excluded.author) > 0 THEN excluded.author ELSE author END,
    first_seen = min(first_seen, excluded.first_seen),
    last_seen = max(last_seen, excluded.last_seen))sql",
                                [&](sqlite3_stmt* s) {
                                    sqlite::bind_text(s, 1, address->book_number);
                                    sqlite::bind_blob(s, 2, page.book.name);
                                    sqlite::bind_blob(s, 3, page.book.author);
                                    sqlite::bind(s, 4, page.book.name_from_page ? 1 : 0);
                                    sqlite::bind(s, 5, page.fetched_at);
                                });
    if (!status.ok()) return failed(status);

    if (outcome != StoreOutcome::unchanged) {
        status = run(*connection_, R"sql(
INSERT INTO pages(address, book, chapter_key, chapter_number, part, next_link, fetched_at,
                  content_hash, title, text)
VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)
ON CONFLICT(address) DO UPDATE SET
    next_link = excluded.next_link, fetched_at = excluded.fetched_at,
    content_hash = excluded.content_hash, title = excluded.title, text = excluded.text)sql",
                     [&](sqlite3_stmt* s) {
                         sqlite::bind_text(s, 1, page.address);
                         sqlite::bind_text(s, 2, address->book_number);
                         sqlite::bind_text(s, 3, address->chapter_key);
                         if (address->chapter_number) sqlite::bind(s, 4, *address->chapter_number);
                         sqlite::bind(s, 5, address->part);
                         sqlite::bind_text(s, 6, chapter.next_link);
                         sqlite::bind(s, 7, page.fetched_at);
                         sqlite::bind(s, 8, static_cast<std::int64_t>(hash));
                         sqlite::bind_blob(s, 9, chapter.title);
                         sqlite::bind_blob(s, 10, chapter.text);
                     });
        if (!status.ok()) return failed(status);
    }
    if (transaction) {
        if (status = transaction->commit(); !status.ok()) return failed(status);
    }
    return {.outcome = outcome};
}

LibraryBatch Library::begin_batch() { return LibraryBatch(connection_.get()); }

LibraryBatch::LibraryBatch(Library::Connection* connection) : connection_(connection) {
    begun_ = library_status(sqlite::execute(connection_->db.get(), "BEGIN IMMEDIATE"));
    open_ = begun_.ok();
}

LibraryBatch::LibraryBatch(LibraryBatch&& other) noexcept
    : connection_(other.connection_), begun_(std::move(other.begun_)), open_(other.open_) {
    other.open_ = false;
}

LibraryBatch::~LibraryBatch() {
    if (open_) (void)sqlite::execute(connection_->db.get(), "ROLLBACK");
}

LibraryStatus LibraryBatch::commit() {
    if (!open_)
        return begun_.ok()
                   ? LibraryStatus{.error = LibraryError::other, .message = "the batch is over"}
                   : begun_;
    sqlite3* db = connection_->db.get();
    const sqlite::Status committed = sqlite::execute(db, "COMMIT");
    open_ = !committed.ok() && sqlite3_get_autocommit(db) == 0;
    return library_status(committed);
}

PageLookup Library::page_at(std::string_view address) const {
    sqlite::Status status;
    sqlite3_stmt* find = connection_->statement(
        "SELECT book, chapter_key, title, text, next_link, fetched_at FROM pages WHERE address = ?",
        &status);
    if (find == nullptr) return {.status = failed_to_prepare(status)};
    const sqlite::StatementUse use(find);
    sqlite::bind_text(find, 1, address);
    status = sqlite::status_of(connection_->db.get(), sqlite3_step(find));
    if (!status.ok()) return {.status = library_status(status)};
    if (status.code != SQLITE_ROW) return {};
    return {.found = StoredPage{.book_number = sqlite::column_bytes(find, 0),
                                .page = {.address = std::string(address),
                                         .chapter_key = sqlite::column_bytes(find, 1),
                                         .title = sqlite::column_bytes(find, 2),
                                         .text = sqlite::column_bytes(find, 3),
                                         .next_link = sqlite::column_bytes(find, 4),
                                         .fetched_at = sqlite::column_int(find, 5)}}};
}

LibraryStatus Library::set_reading_place(std::string_view book_number, std::string_view address,
                                         std::int64_t read_at) {
    WriteTransaction transaction(connection_->db.get());
    if (!transaction.begun().ok()) return library_status(transaction.begun());
    const sqlite::Status status = run(
        *connection_,
        "INSERT INTO places(book, address, read_at) VALUES(?1, ?2, ?3) "
        "ON CONFLICT(book) DO UPDATE SET address = excluded.address, read_at = excluded.read_at",
        [&](sqlite3_stmt* s) {
            sqlite::bind_text(s, 1, book_number);
            sqlite::bind_text(s, 2, address);
            sqlite::bind(s, 3, read_at);
        });
    if (!status.ok()) return library_status(status);
    return library_status(transaction.commit());
}

namespace {
PlaceLookup place_from(Library::Connection& connection, std::string_view sql,
                       std::optional<std::string_view> book_number) {
    sqlite::Status status;
    sqlite3_stmt* find = connection.statement(sql, &status);
    if (find == nullptr) return {.status = library_status(status)};
    const sqlite::StatementUse use(find);
    if (book_number) sqlite::bind_text(find, 1, *book_number);
    status = sqlite::status_of(connection.db.get(), sqlite3_step(find));
    if (!status.ok()) return {.status = library_status(status)};
    if (status.code != SQLITE_ROW) return {};
    return {.found = ReadingPlace{.book_number = sqlite::column_bytes(find, 0),
                                  .address = sqlite::column_bytes(find, 1),
                                  .title = sqlite::column_bytes(find, 2),
                                  .read_at = sqlite::column_int(find, 3)}};
}
}  // namespace

PlaceLookup Library::reading_place(std::string_view book_number) const {
    return place_from(*connection_,
                      "SELECT places.book, places.address, pages.title, places.read_at "
                      "FROM places LEFT JOIN pages ON pages.address = places.address "
                      "WHERE places.book = ?",
                      book_number);
}

PlaceLookup Library::last_reading_place() const {
    return place_from(*connection_,
                      "SELECT places.book, places.address, pages.title, places.read_at "
                      "FROM places LEFT JOIN pages ON pages.address = places.address "
                      "ORDER BY places.read_at DESC LIMIT 1",
                      std::nullopt);
}

LibraryStatus Library::remove_book(std::string_view book_number) {
    WriteTransaction transaction(connection_->db.get());
    if (!transaction.begun().ok()) return library_status(transaction.begun());
    for (const char* sql :
         {"DELETE FROM pages WHERE book = ?", "DELETE FROM places WHERE book = ?",
          "DELETE FROM exports WHERE book = ?", "DELETE FROM books WHERE number = ?"}) {
        const sqlite::Status status =
            run(*connection_, sql, [&](sqlite3_stmt* s) { sqlite::bind_text(s, 1, book_number); });
        if (!status.ok()) return library_status(status);
    }
    return library_status(transaction.commit());
}

IntegrityReport Library::check_integrity() const {
    IntegrityReport report;
    sqlite3* db = connection_->db.get();
    sqlite::Status status;
    {
        sqlite::Statement check = sqlite::prepare(db, "PRAGMA integrity_check", &status);
        if (!status.ok()) return {.status = library_status(status)};
        while ((status = sqlite::status_of(db, sqlite3_step(check.get()))).code == SQLITE_ROW) {
            if (!report.integrity_check.empty()) report.integrity_check += "\n";
            report.integrity_check += sqlite::column_bytes(check.get(), 0);
        }
        if (!status.ok()) return {.status = library_status(status)};
    }
    sqlite::Statement pages = sqlite::prepare(db, "SELECT content_hash, text FROM pages", &status);
    if (!status.ok()) return {.status = library_status(status)};
    while ((status = sqlite::status_of(db, sqlite3_step(pages.get()))).code == SQLITE_ROW) {
        ++report.pages;
        const auto stored = static_cast<std::uint64_t>(sqlite::column_int(pages.get(), 0));
        if (stored != page_hash(sqlite::column_bytes(pages.get(), 1))) ++report.damaged_pages;
    }
    report.status = library_status(status);
    return report;
}

}  // namespace novel
