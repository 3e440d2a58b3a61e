#pragma once
// The two subcommands, each returning the exit status (cli/exit_status.h).

#include <cstddef>
#include <stop_token>
#include <string>

#include "cli/library_use.h"
#include "cli/terminal.h"

namespace novel::cli {

struct ReadOptions {
    std::string url;  // as given: bytes of the command line, passed on unchanged
    bool next_only = false;
    Encoding encoding = Encoding::utf8;
    LibraryChoice library;  // where the chapter is kept
};

// Prints the chapter's clean text to standard output and its next link to
// standard error (or, with next_only, the next link alone to standard output).
[[nodiscard]] int read_chapter(const ReadOptions& options, std::stop_token stop);

struct DownloadCommandOptions {
    std::string book;
    std::string start;
    std::string end;
    std::string output;
    bool continue_run = false;
    int ahead = 4;  // pages fetched at once along the chain
    bool utf8_file = false;
    Encoding print_encoding = Encoding::utf8;
    bool quiet = false;
    LibraryChoice library;  // where every page is kept
};

[[nodiscard]] int download_chapters(const DownloadCommandOptions& options, std::stop_token stop);

}  // namespace novel::cli
