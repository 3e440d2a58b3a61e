// Each book's last export, so that an update can write it again.

#include "library/connection.h"

namespace novel {
namespace {

std::string_view format_name(ExportFormat format) {
    return format == ExportFormat::epub ? "epub" : "txt";
}

std::string_view encoding_name(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::utf8:
            return "utf-8";
        case TextEncoding::gb18030:
            return "gb18030";
        case TextEncoding::gbk:
            break;
    }
    return "gbk";
}

// Names this program does not know (a newer one's) read as the defaults.
TextEncoding encoding_of(std::string_view name) {
    if (name == "utf-8") return TextEncoding::utf8;
    if (name == "gb18030") return TextEncoding::gb18030;
    return TextEncoding::gbk;
}

}  // namespace

LibraryStatus Library::remember_export(std::string_view book_number, const ExportRecord& record) {
    sqlite::Status status;
    sqlite3_stmt* statement = connection_->statement(
        "INSERT INTO exports(book, path, format, encoding, byte_order_mark, traditional, "
        "exported_at) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT(book) DO UPDATE SET "
        "path = excluded.path, format = excluded.format, encoding = excluded.encoding, "
        "byte_order_mark = excluded.byte_order_mark, traditional = excluded.traditional, "
        "exported_at = excluded.exported_at",
        &status);
    if (statement == nullptr) return library_status(status);
    const sqlite::StatementUse use(statement);
    sqlite::bind_text(statement, 1, book_number);
    sqlite::bind_text(statement, 2, record.path);
    sqlite::bind_text(statement, 3, format_name(record.format));
    sqlite::bind_text(statement, 4, encoding_name(record.encoding));
    sqlite::bind(statement, 5, record.byte_order_mark ? 1 : 0);
    sqlite::bind(statement, 6, record.traditional ? 1 : 0);
    sqlite::bind(statement, 7, record.exported_at);
    return library_status(sqlite::status_of(connection_->db.get(), sqlite3_step(statement)));
}

ExportLookup Library::last_export(std::string_view book_number) const {
    sqlite::Status status;
    sqlite3_stmt* find = connection_->statement(
        "SELECT path, format, encoding, byte_order_mark, traditional, exported_at FROM exports "
        "WHERE book = ?",
        &status);
    if (find == nullptr) return {.status = library_status(status)};
    const sqlite::StatementUse use(find);
    sqlite::bind_text(find, 1, book_number);
    status = sqlite::status_of(connection_->db.get(), sqlite3_step(find));
    if (!status.ok()) return {.status = library_status(status)};
    if (status.code != SQLITE_ROW) return {};
    return {.found =
                ExportRecord{.path = sqlite::column_bytes(find, 0),
                             .format = sqlite::column_bytes(find, 1) == "epub" ? ExportFormat::epub
                                                                               : ExportFormat::txt,
                             .encoding = encoding_of(sqlite::column_bytes(find, 2)),
                             .byte_order_mark = sqlite::column_int(find, 3) != 0,
                             .traditional = sqlite::column_int(find, 4) != 0,
                             .exported_at = sqlite::column_int(find, 5)}};
}

}  // namespace novel
