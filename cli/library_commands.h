#pragma once
// The commands that work on the library alone: the bookshelf, removing a
// book, and exporting one. Each returns the exit status (cli/exit_status.h).

#include <optional>
#include <stop_token>
#include <string>

#include "cli/library_use.h"
#include "cli/terminal.h"
#include "library/book_export.h"

namespace novel::cli {

struct ShelfOptions {
    LibraryChoice library;
    bool tsv = false;
    Encoding encoding = Encoding::utf8;
};

// The bookshelf as a table, or one tab-separated line per book.
[[nodiscard]] int list_books(const ShelfOptions& options);

struct RemoveOptions {
    LibraryChoice library;
    std::string book;
    Encoding encoding = Encoding::utf8;
};

[[nodiscard]] int remove_book(const RemoveOptions& options);

struct ExportCommandOptions {
    LibraryChoice library;
    std::string book;
    std::string output;
    std::optional<ExportFormat> format;  // unset: from the suffix, .epub or else txt
    std::optional<TextEncoding> encoding;
    bool byte_order_mark = false;
    bool traditional = false;
    Encoding print_encoding = Encoding::utf8;
};

// Writes the book into the file and remembers how, for novel update --export.
[[nodiscard]] int export_command(const ExportCommandOptions& options, std::stop_token stop);

// Tells how an export went (the gaps one line each, then their count); the exit status.
[[nodiscard]] int report_export(const BookExportResult& result, const std::string& book_name,
                                const std::string& path, Encoding encoding);

// The library opened for one of these commands: why not is told, and the status to exit with.
struct OpenedForCommand {
    std::unique_ptr<Library> library;
    int status = 0;
};
[[nodiscard]] OpenedForCommand open_for_command(const LibraryChoice& choice, Encoding encoding);

}  // namespace novel::cli
