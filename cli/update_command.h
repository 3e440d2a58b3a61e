#pragma once
// novel update: the stored books brought up to date, one line per book.

#include <stop_token>
#include <string>
#include <vector>

#include "cli/library_use.h"
#include "cli/terminal.h"
#include "update/update_books.h"

namespace novel::cli {

struct UpdateCommandOptions {
    LibraryChoice library;
    std::vector<std::string> books;  // empty: every book of the library
    bool export_again = false;       // write each updated book's remembered export again
    Encoding encoding = Encoding::utf8;
};

[[nodiscard]] int update_command(const UpdateCommandOptions& options, std::stop_token stop);

}  // namespace novel::cli
