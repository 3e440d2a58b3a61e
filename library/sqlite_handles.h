#pragma once
// The owners of SQLite's handles, and the few calls on them the library
// makes everywhere. Included only inside library/.

#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace novel::sqlite {

struct DatabaseCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, DatabaseCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// A failed call's result code and SQLite's words for it.
struct Status {
    int code = SQLITE_OK;
    std::string message;
    [[nodiscard]] bool ok() const {
        return code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE;
    }
};

[[nodiscard]] inline Status status_of(sqlite3* db, int code) {
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE) return {code, {}};
    return {code, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)};
}

[[nodiscard]] inline Status execute(sqlite3* db, const char* sql) {
    return status_of(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

[[nodiscard]] inline Statement prepare(sqlite3* db, std::string_view sql, Status* status) {
    sqlite3_stmt* raw = nullptr;
    *status = status_of(db, sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                               SQLITE_PREPARE_PERSISTENT, &raw, nullptr));
    return Statement(raw);
}

// Resets a cached statement when its use ends, on every path, so it holds
// no read lock and no bindings into the next use.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementUse() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    [[nodiscard]] sqlite3_stmt* get() const { return statement_; }

private:
    sqlite3_stmt* statement_;
};

// Binding by position, from 1; texts and blobs are copied at once so the
// caller's strings may go before the statement runs.
inline void bind(sqlite3_stmt* s, int at, std::int64_t value) { sqlite3_bind_int64(s, at, value); }
inline void bind_text(sqlite3_stmt* s, int at, std::string_view value) {
    sqlite3_bind_text64(s, at, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}
// GBK texts are blobs: they are not UTF-8, and must come back byte for byte.
inline void bind_blob(sqlite3_stmt* s, int at, std::string_view value) {
    // A zero-length blob, not NULL, for an empty text.
    if (value.empty()) {
        sqlite3_bind_zeroblob(s, at, 0);
    } else {
        sqlite3_bind_blob64(s, at, value.data(), value.size(), SQLITE_TRANSIENT);
    }
}

[[nodiscard]] inline std::int64_t column_int(sqlite3_stmt* s, int at) {
    return sqlite3_column_int64(s, at);
}
[[nodiscard]] inline bool column_is_null(sqlite3_stmt* s, int at) {
    return sqlite3_column_type(s, at) == SQLITE_NULL;
}
// Text or blob columns, as bytes.
[[nodiscard]] inline std::string column_bytes(sqlite3_stmt* s, int at) {
    const void* data = sqlite3_column_blob(s, at);
    const int size = sqlite3_column_bytes(s, at);
    if (data == nullptr || size <= 0) return {};
    return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

}  // namespace novel::sqlite
