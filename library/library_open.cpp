// Opening the file: its folder, WAL, the busy timeout, the schema's
// migrations, and setting a broken file aside.

#include <sys/stat.h>

#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "library/connection.h"

namespace novel {
namespace {
namespace fs = std::filesystem;

// Each step takes the file from version N (its index) to N + 1. Steps are
// only ever appended: a released step never changes.
constexpr std::array<const char*, LIBRARY_SCHEMA_VERSION> kMigrations = {
    R"sql(
CREATE TABLE books(
    number TEXT PRIMARY KEY,
    name BLOB NOT NULL,
    author BLOB NOT NULL,
    name_from_page INTEGER NOT NULL,
    first_seen INTEGER NOT NULL,
    last_seen INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TABLE pages(
    id INTEGER PRIMARY KEY,
    address TEXT NOT NULL UNIQUE,
    book TEXT NOT NULL,
    chapter_key TEXT NOT NULL,
    chapter_number INTEGER,
    part INTEGER NOT NULL,
    next_link TEXT NOT NULL,
    fetched_at INTEGER NOT NULL,
    content_hash INTEGER NOT NULL,
    title BLOB NOT NULL,
    text BLOB NOT NULL  -- last, so reading the columns before it never reads the text
);
CREATE INDEX pages_by_book ON pages(book, chapter_number, part);
CREATE TABLE places(
    book TEXT PRIMARY KEY,
    address TEXT NOT NULL,
    read_at INTEGER NOT NULL
) WITHOUT ROWID;
CREATE INDEX places_by_time ON places(read_at);
)sql",
    R"sql(
CREATE TABLE exports(
    book TEXT PRIMARY KEY,
    path TEXT NOT NULL,
    format TEXT NOT NULL,
    encoding TEXT NOT NULL,
    byte_order_mark INTEGER NOT NULL,
    traditional INTEGER NOT NULL,
    exported_at INTEGER NOT NULL
) WITHOUT ROWID;
)sql",
};

std::string two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

std::string broken_suffix(std::int64_t now) {
    const std::time_t when = now != 0 ? static_cast<std::time_t>(now) : std::time(nullptr);
    std::tm local{};
    localtime_r(&when, &local);
    return ".broken-" + std::to_string(local.tm_year + 1900) + two(local.tm_mon + 1) +
           two(local.tm_mday) + "-" + two(local.tm_hour) + two(local.tm_min) + two(local.tm_sec);
}

// Renames the file with its -wal and -shm; the new name when it worked.
std::optional<std::string> set_aside(const std::string& path, std::int64_t now,
                                     LibraryStatus* status) {
    std::string target = path + broken_suffix(now);
    for (int n = 2; fs::exists(target) && n < 100; ++n) {
        target = path + broken_suffix(now) + "-" + std::to_string(n);
    }
    std::error_code error;
    fs::rename(path, target, error);
    if (error) {
        *status = {.error = LibraryError::io, .message = error.message()};
        return std::nullopt;
    }
    for (const char* companion : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (fs::exists(path + companion, ignored))
            fs::rename(path + companion, target + companion, ignored);
    }
    return target;
}

sqlite::Status read_int(sqlite3* db, const char* sql, std::int64_t* value) {
    sqlite::Status status;
    sqlite::Statement statement = sqlite::prepare(db, sql, &status);
    if (!status.ok()) return status;
    status = sqlite::status_of(db, sqlite3_step(statement.get()));
    if (status.code == SQLITE_ROW) *value = sqlite::column_int(statement.get(), 0);
    return status;
}

// A file cut short still opens, and fails only when a missing page is read;
// the header's page count gives it away at once. Everything is read inside
// one read transaction: another process may be making the file or writing
// its WAL meanwhile, and outside a snapshot its page count and the files'
// sizes can disagree for a moment in a file that is perfectly sound.
bool cut_short(sqlite3* db, const std::string& path) {
    if (!sqlite::execute(db, "BEGIN").ok()) return false;
    std::int64_t tables = 0;
    std::int64_t pages = 0;
    std::int64_t page_size = 0;
    const bool read = read_int(db, "SELECT count(*) FROM sqlite_schema", &tables).ok() &&
                      read_int(db, "PRAGMA page_count", &pages).ok() &&
                      read_int(db, "PRAGMA page_size", &page_size).ok();
    bool short_file = false;
    if (read) {
        // While this snapshot is held, a WAL it reads from can be neither
        // emptied nor removed; pages there are not missing from the main file.
        std::error_code error;
        const auto wal = fs::file_size(path + "-wal", error);
        if (error || wal == 0) {
            const auto size = fs::file_size(path, error);
            short_file = !error && static_cast<std::uintmax_t>(pages * page_size) > size;
        }
    }
    (void)sqlite::execute(db, "COMMIT");
    return short_file;
}

// Two processes switching a new file to WAL at once would each wait for the
// other's read lock, so SQLite answers one of them "busy" at once instead of
// waiting; that one tries again until the other has switched it.
sqlite::Status switch_to_wal(sqlite3* db, int busy_timeout_ms) {
    constexpr int kPauseMs = 10;
    for (int waited = 0;; waited += kPauseMs) {
        sqlite::Status status = sqlite::execute(db, "PRAGMA journal_mode = WAL");
        if ((status.code & 0xff) != SQLITE_BUSY || waited >= busy_timeout_ms) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs));
    }
}

struct Attempt {
    OpenOutcome outcome = OpenOutcome::failed;
    sqlite::Database db;
    LibraryStatus status;
    bool broken = false;  // the file is damaged or not a database
};

Attempt fail(const sqlite::Status& status) {
    Attempt attempt;
    attempt.status = library_status(status);
    attempt.broken = attempt.status.error == LibraryError::corrupt;
    return attempt;
}

sqlite::Status migrate(sqlite3* db) {
    WriteTransaction transaction(db);
    if (!transaction.begun().ok()) return transaction.begun();
    // Read again inside the transaction: another process may have migrated meanwhile.
    std::int64_t version = 0;
    if (auto status = read_int(db, "PRAGMA user_version", &version); !status.ok()) return status;
    if (version >= LIBRARY_SCHEMA_VERSION) return {};
    for (auto step = static_cast<std::size_t>(version); step < kMigrations.size(); ++step) {
        if (auto status = sqlite::execute(db, kMigrations[step]); !status.ok()) return status;
    }
    const std::string set_version =
        "PRAGMA user_version = " + std::to_string(LIBRARY_SCHEMA_VERSION);
    if (auto status = sqlite::execute(db, set_version.c_str()); !status.ok()) return status;
    return transaction.commit();
}

Attempt try_open(const std::string& path, const LibraryOptions& options) {
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite::Database db(raw);
    if (opened != SQLITE_OK) return fail(sqlite::status_of(db.get(), opened));
    sqlite3_extended_result_codes(db.get(), 1);
    sqlite3_busy_timeout(db.get(), options.busy_timeout_ms);

    // The version first: a newer program's file is not written at all, not
    // even switched to WAL.
    std::int64_t version = 0;
    if (auto status = read_int(db.get(), "PRAGMA user_version", &version); !status.ok()) {
        return fail(status);
    }
    if (version > LIBRARY_SCHEMA_VERSION) {
        Attempt refused;
        refused.outcome = OpenOutcome::refused;
        refused.status = {.error = LibraryError::newer_schema,
                          .message =
                              "the library was written by a newer version of the program "
                              "(schema " +
                              std::to_string(version) + ", this one knows " +
                              std::to_string(LIBRARY_SCHEMA_VERSION) + "); it is left as it is"};
        return refused;
    }
    if (cut_short(db.get(), path)) {
        Attempt broken;
        broken.status = {.error = LibraryError::corrupt, .message = "the file is cut short"};
        broken.broken = true;
        return broken;
    }
    // The schema is read once here: a damaged first page shows now, not later.
    std::int64_t tables = 0;
    if (auto status = read_int(db.get(), "SELECT count(*) FROM sqlite_schema", &tables);
        !status.ok()) {
        return fail(status);
    }
    if (auto status = switch_to_wal(db.get(), options.busy_timeout_ms); !status.ok()) {
        return fail(status);
    }
    if (auto status = sqlite::execute(db.get(), "PRAGMA synchronous = NORMAL"); !status.ok()) {
        return fail(status);
    }
    if (auto status = migrate(db.get()); !status.ok()) return fail(status);
    if (options.max_pages > 0) {
        const std::string limit = "PRAGMA max_page_count = " + std::to_string(options.max_pages);
        if (auto status = sqlite::execute(db.get(), limit.c_str()); !status.ok()) {
            return fail(status);
        }
    }
    Attempt attempt;
    attempt.outcome = OpenOutcome::opened;
    attempt.db = std::move(db);
    return attempt;
}

OpenResult finish(Attempt attempt) {
    OpenResult result;
    result.outcome = attempt.outcome;
    result.status = std::move(attempt.status);
    if (attempt.db) {
        auto connection = std::make_unique<Library::Connection>();
        connection->db = std::move(attempt.db);
        result.library = std::make_unique<Library>(std::move(connection));
    }
    return result;
}

}  // namespace

std::string default_library_path(const char* xdg_data_home, const char* home) {
    fs::path base;
    if (xdg_data_home != nullptr && xdg_data_home[0] == '/') {
        base = xdg_data_home;
    } else {
        base = fs::path(home != nullptr ? home : "") / ".local" / "share";
    }
    return (base / "novel_reader" / "library.sqlite3").string();
}

std::string default_library_path() {
    return default_library_path(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

OpenResult open_library(const std::string& path, const LibraryOptions& options) {
    std::error_code error;
    if (const fs::path folder = fs::path(path).parent_path(); !folder.empty()) {
        fs::create_directories(folder, error);
        if (error) {
            return {.outcome = OpenOutcome::failed,
                    .status = {.error = LibraryError::io, .message = error.message()}};
        }
    }
    Attempt attempt = try_open(path, options);
    if (!attempt.broken) return finish(std::move(attempt));

    LibraryStatus moved;
    const std::optional<std::string> aside = set_aside(path, options.now, &moved);
    if (!aside) return {.outcome = OpenOutcome::failed, .status = moved};
    OpenResult fresh = finish(try_open(path, options));
    if (fresh.outcome == OpenOutcome::opened) fresh.outcome = OpenOutcome::made_fresh;
    fresh.set_aside_path = *aside;
    return fresh;
}

}  // namespace novel
