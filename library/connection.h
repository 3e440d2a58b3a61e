#pragma once
// The library's one connection with its cached statements, and what every
// part of the library does with it. Internal to library/.

#include <map>
#include <string>
#include <string_view>

#include "library/library.h"
#include "library/sqlite_handles.h"

namespace novel {

[[nodiscard]] inline LibraryError error_kind(int code) {
    switch (code & 0xFF) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return LibraryError::none;
        case SQLITE_FULL:
            return LibraryError::full;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return LibraryError::busy;
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_READONLY:
        case SQLITE_PERM:
            return LibraryError::io;
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return LibraryError::corrupt;
        default:
            return LibraryError::other;
    }
}

[[nodiscard]] inline LibraryStatus library_status(const sqlite::Status& status) {
    if (status.ok()) return {};
    return {.error = error_kind(status.code), .message = status.message};
}

struct Library::Connection {
    sqlite::Database db;
    // Prepared once per connection: a page is stored thousands of times a run.
    std::map<std::string, sqlite::Statement, std::less<>> statements;

    // nullptr with *status set when the statement does not prepare.
    sqlite3_stmt* statement(std::string_view sql, sqlite::Status* status) {
        if (auto found = statements.find(sql); found != statements.end()) {
            *status = {};
            return found->second.get();
        }
        sqlite::Statement made = sqlite::prepare(db.get(), sql, status);
        if (!status->ok()) return nullptr;
        sqlite3_stmt* raw = made.get();
        statements.emplace(std::string(sql), std::move(made));
        return raw;
    }
};

// A write transaction taken at once (BEGIN IMMEDIATE), so a second process
// waits on the busy timeout at the start instead of failing at the commit.
// Rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(sqlite3* db) : db_(db) {
        status_ = sqlite::execute(db_, "BEGIN IMMEDIATE");
        open_ = status_.ok();
    }
    ~WriteTransaction() {
        if (open_) (void)sqlite::execute(db_, "ROLLBACK");
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    [[nodiscard]] const sqlite::Status& begun() const { return status_; }
    [[nodiscard]] sqlite::Status commit() {
        sqlite::Status committed = sqlite::execute(db_, "COMMIT");
        // A failed COMMIT may leave the transaction open; the destructor rolls it back.
        open_ = !committed.ok() && sqlite3_get_autocommit(db_) == 0;
        return committed;
    }

private:
    sqlite3* db_;
    sqlite::Status status_;
    bool open_ = false;
};

// The book number and chapter key of SITE/BOOK/KEY.html.
struct PageAddress {
    std::string book_number;
    std::string chapter_key;
    std::optional<std::int64_t> chapter_number;  // the key's digits before "_"
    std::int64_t part = 1;                       // the number behind "_", 1 without
};

[[nodiscard]] std::optional<PageAddress> parse_page_address(std::string_view address);

}  // namespace novel
