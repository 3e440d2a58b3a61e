#include "cli/library_commands.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

#include "cli/exit_status.h"
#include "platform/gbk.h"

namespace novel::cli {
namespace {

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

void write_out(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stdout); }

// Tabs and line breaks of a stored text would break the line it stands in.
std::string one_field(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return text;
}

// Columns on a terminal: CJK characters take two.
std::size_t columns(std::string_view gbk_text) {
    std::size_t width = 0;
    for (const char16_t unit : gbk_to_utf16(gbk_text)) width += unit >= 0x1100 ? 2 : 1;
    return width;
}

std::string when(std::int64_t seconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

void print_table(const std::vector<std::vector<std::string>>& rows, Encoding encoding) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t at = 0; at < row.size(); ++at) {
            widths[at] = std::max(widths[at], columns(row[at]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t at = 0; at < row.size(); ++at) {
            line += row[at];
            if (at + 1 < row.size()) line += std::string(widths[at] - columns(row[at]) + 2, ' ');
        }
        write_out(encoded(line, encoding) + "\n");
    }
}

}  // namespace

OpenedForCommand open_for_command(const LibraryChoice& choice, Encoding encoding) {
    OpenResult opened = open_library(choice.path);
    if (!report_open_outcome(opened, choice.path, encoding, /*run_goes_on=*/false)) {
        return {.status = kFileFailed};
    }
    return {.library = std::move(opened.library)};
}

int list_books(const ShelfOptions& options) {
    OpenedForCommand opened = open_for_command(options.library, options.encoding);
    if (!opened.library) return opened.status;
    const Bookshelf shelf = opened.library->bookshelf();
    if (!shelf.status.ok()) {
        report_error(gbk(u"无法读取书库：") + library_reason(shelf.status), options.encoding);
        return kFileFailed;
    }
    if (options.tsv) {
        for (const BookshelfRow& row : shelf.rows) {
            const std::string line = row.book.book_number + "\t" + one_field(row.book.name) + "\t" +
                                     one_field(row.book.author) + "\t" + std::to_string(row.pages) +
                                     "\t" + std::to_string(row.chapters) + "\t" +
                                     row.newest_address + "\t" +
                                     (row.place ? row.place->address : std::string());
            write_out(encoded(line, options.encoding) + "\n");
        }
        return kReachedEnd;
    }
    if (shelf.rows.empty()) {
        report_error(gbk(u"书库中还没有书"), options.encoding);
        return kReachedEnd;
    }
    std::vector<std::vector<std::string>> rows{{gbk(u"书号"), gbk(u"书名"), gbk(u"作者"),
                                                gbk(u"页数"), gbk(u"章数"), gbk(u"最新章节"),
                                                gbk(u"上次读到"), gbk(u"时间")}};
    for (const BookshelfRow& row : shelf.rows) {
        std::string place = "-";
        std::string read_at = "-";
        if (row.place) {
            place = row.place->title.empty() ? row.place->address : row.place->title;
            read_at = when(row.place->read_at);
        }
        rows.push_back({row.book.book_number, one_field(row.book.name),
                        row.book.author.empty() ? "-" : one_field(row.book.author),
                        std::to_string(row.pages), std::to_string(row.chapters),
                        one_field(row.newest_title), one_field(place), read_at});
    }
    print_table(rows, options.encoding);
    return kReachedEnd;
}

int remove_book(const RemoveOptions& options) {
    OpenedForCommand opened = open_for_command(options.library, options.encoding);
    if (!opened.library) return opened.status;
    const BookLookup book = opened.library->book(options.book);
    if (!book.status.ok()) {
        report_error(gbk(u"无法读取书库：") + library_reason(book.status), options.encoding);
        return kFileFailed;
    }
    if (!book.found) {
        report_error(gbk(u"书库中没有这本书：") + options.book, options.encoding);
        return kUsage;
    }
    if (const LibraryStatus removed = opened.library->remove_book(options.book); !removed.ok()) {
        report_error(gbk(u"无法从书库中移除：") + library_reason(removed), options.encoding);
        return kFileFailed;
    }
    report_error(gbk(u"已从书库中移除《") + book.found->name + gbk(u"》"), options.encoding);
    return kReachedEnd;
}

int report_export(const BookExportResult& result, const std::string& book_name,
                  const std::string& path, Encoding encoding) {
    for (const std::string& gap : result.gaps) {
        report_error(gbk(u"缺少页面：") + gap, encoding);
    }
    if (!result.gaps.empty()) {
        report_error(gbk(u"共缺少 ") + std::to_string(result.gaps.size()) +
                         gbk(u" 页（可先下载这些页面再导出）"),
                     encoding);
    }
    const std::string reason = gbk_from_utf8(result.reason);
    switch (result.end) {
        case BookExportEnd::written:
            report_error(gbk(u"已导出《") + book_name + gbk(u"》") + std::to_string(result.pages) +
                             gbk(u"页到 ") + gbk_from_utf8(path),
                         encoding);
            return kReachedEnd;
        case BookExportEnd::no_pages:
            report_error(gbk(u"书库中没有这本书的页面：") + book_name, encoding);
            return kUsage;
        case BookExportEnd::library_failed:
            report_error(gbk(u"无法读取书库：") + reason, encoding);
            return kFileFailed;
        case BookExportEnd::file_failed:
            report_error(gbk(u"无法写入文件 ") + gbk_from_utf8(path) + gbk(u"：") + reason,
                         encoding);
            return kFileFailed;
        case BookExportEnd::converter_failed:
            report_error(gbk(u"无法转换为繁体：") + reason, encoding);
            return kFileFailed;
        case BookExportEnd::stopped:
            return kInterrupted;
    }
    return kFileFailed;
}

int export_command(const ExportCommandOptions& options, std::stop_token stop) {
    const ExportFormat format = options.format.value_or(
        std::filesystem::path(options.output).extension() == ".epub" ? ExportFormat::epub
                                                                     : ExportFormat::txt);
    if (format == ExportFormat::epub && (options.encoding || options.byte_order_mark)) {
        report_error(gbk(u"--encoding 与 --bom 只用于 txt 格式"), options.print_encoding);
        return kUsage;
    }
    const TextEncoding encoding = options.encoding.value_or(TextEncoding::gbk);
    if (options.byte_order_mark && encoding == TextEncoding::gbk) {
        report_error(gbk(u"--bom 只用于 utf-8 与 gb18030"), options.print_encoding);
        return kUsage;
    }
    OpenedForCommand opened = open_for_command(options.library, options.print_encoding);
    if (!opened.library) return opened.status;
    const BookLookup book = opened.library->book(options.book);
    if (!book.found) {
        report_error(book.status.ok() ? gbk(u"书库中没有这本书：") + options.book
                                      : gbk(u"无法读取书库：") + library_reason(book.status),
                     options.print_encoding);
        return book.status.ok() ? kUsage : kFileFailed;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(options.output, error);
    const ExportRecord record{.path = error ? options.output : absolute.string(),
                              .format = format,
                              .encoding = encoding,
                              .byte_order_mark = options.byte_order_mark,
                              .traditional = options.traditional,
                              .exported_at = now_seconds()};
    const BookExportResult result =
        export_book(*opened.library, options.book, record, std::move(stop));
    const int status =
        report_export(result, book.found->name, options.output, options.print_encoding);
    if (result.end == BookExportEnd::written) {
        if (const LibraryStatus remembered = opened.library->remember_export(options.book, record);
            !remembered.ok()) {
            report_error(gbk(u"无法在书库中记下这次导出：") + library_reason(remembered),
                         options.print_encoding);
        }
    }
    return status;
}

}  // namespace novel::cli
