// The bookshelf: one row per book with what is stored of it and where its
// reader was.

#include "chapter/site.h"
#include "library/connection.h"

namespace novel {
namespace {

constexpr std::string_view kFactsColumns =
    "books.number, books.name, books.author, books.first_seen, books.last_seen";

BookFacts facts_from(sqlite3_stmt* row) {
    BookFacts facts{.book_number = sqlite::column_bytes(row, 0),
                    .name = sqlite::column_bytes(row, 1),
                    .author = sqlite::column_bytes(row, 2),
                    .first_fetched = sqlite::column_int(row, 3),
                    .last_fetched = sqlite::column_int(row, 4)};
    // The book's own folder on the site, as its pages' breadcrumb links it.
    facts.source_address = std::string(SITE_ORIGIN) + "/" + facts.book_number + "/";
    return facts;
}

}  // namespace

BookLookup Library::book(std::string_view book_number) const {
    sqlite::Status status;
    sqlite3_stmt* find = connection_->statement(
        "SELECT " + std::string(kFactsColumns) + " FROM books WHERE number = ?", &status);
    if (find == nullptr) return {.status = library_status(status)};
    const sqlite::StatementUse use(find);
    sqlite::bind_text(find, 1, book_number);
    status = sqlite::status_of(connection_->db.get(), sqlite3_step(find));
    if (!status.ok()) return {.status = library_status(status)};
    if (status.code != SQLITE_ROW) return {};
    return {.found = facts_from(find)};
}

Bookshelf Library::bookshelf() const {
    const std::string sql = "SELECT " + std::string(kFactsColumns) + R"sql(,
    coalesce(counts.pages, 0), coalesce(counts.chapters, 0),
    newest.title, newest.address,
    places.address, placed.title, places.read_at,
    (SELECT count(DISTINCT later.chapter_number) FROM pages AS later
     WHERE later.book = books.number AND later.chapter_number > CASE
         WHEN places.address IS NULL THEN -1
         -- A place whose page is no longer stored: nothing is known to be unread.
         ELSE coalesce(placed.chapter_number, 9223372036854775807) END)
FROM books
LEFT JOIN (
    -- Only columns of pages_by_book: the rows themselves are never read.
    -- A page whose key is not a number counts as a chapter of its own.
    SELECT book, count(*) AS pages,
           count(DISTINCT chapter_number) + count(*) - count(chapter_number) AS chapters
    FROM pages GROUP BY book) AS counts ON counts.book = books.number
LEFT JOIN places ON places.book = books.number
LEFT JOIN pages AS placed ON placed.address = places.address
LEFT JOIN pages AS newest ON newest.id = (
    SELECT id FROM pages WHERE pages.book = books.number
    ORDER BY chapter_number DESC, part DESC LIMIT 1)
ORDER BY coalesce(places.read_at, books.last_seen) DESC, books.number)sql";
    sqlite::Status status;
    sqlite3_stmt* rows = connection_->statement(sql, &status);
    if (rows == nullptr) return {.status = library_status(status)};
    const sqlite::StatementUse use(rows);
    Bookshelf shelf;
    while ((status = sqlite::status_of(connection_->db.get(), sqlite3_step(rows))).code ==
           SQLITE_ROW) {
        BookshelfRow row{.book = facts_from(rows),
                         .pages = sqlite::column_int(rows, 5),
                         .chapters = sqlite::column_int(rows, 6),
                         .newest_title = sqlite::column_bytes(rows, 7),
                         .newest_address = sqlite::column_bytes(rows, 8)};
        row.unread_chapters = sqlite::column_int(rows, 12);
        if (!sqlite::column_is_null(rows, 9)) {
            row.place = ReadingPlace{.book_number = row.book.book_number,
                                     .address = sqlite::column_bytes(rows, 9),
                                     .title = sqlite::column_bytes(rows, 10),
                                     .read_at = sqlite::column_int(rows, 11)};
        }
        shelf.rows.push_back(std::move(row));
    }
    shelf.status = library_status(status);
    if (!shelf.status.ok()) shelf.rows.clear();
    return shelf;
}

}  // namespace novel
