#pragma once
// The commands that work on the library alone: the bookshelf, removing a
// book, and exporting one. Each returns the exit status (cli/exit_status.h).

#include <string>

#include "cli/library_use.h"
#include "cli/terminal.h"

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

// The library opened for one of these commands: why not is told, and the status to exit with.
struct OpenedForCommand {
    std::unique_ptr<Library> library;
    int status = 0;
};
[[nodiscard]] OpenedForCommand open_for_command(const LibraryChoice& choice, Encoding encoding);

}  // namespace novel::cli
