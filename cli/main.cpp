// novel: the reader's and the download window's work from a terminal.
//
//   novel read URL [--next] [--encoding gbk|utf-8]
//   novel download BOOK START END [--output FILE] [--continue] [--ahead N]
//                  [--encoding gbk|utf-8] [--quiet]

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/exit_status.h"
#include "cli/interrupt.h"
#include "cli/library_commands.h"
#include "cli/update_command.h"
#include "download/fetch_ahead.h"
#include "download/range_download.h"
#include "library/library.h"

#ifndef NOVEL_VERSION
#define NOVEL_VERSION "unknown"
#endif

namespace {

constexpr const char* kExitStatuses =
    "Exit status:\n"
    "  0    the end chapter was reached (read: the page was fetched)\n"
    "  1    the chain of next links broke: no next link, a repeated address, the page limit,\n"
    "       or a page that is no chapter (such as a 404 past the book's end)\n"
    "  2    wrong usage, or --continue with no unfinished download\n"
    "  3    the file or its journal could not be written\n"
    "  4    the network failed, after retries\n"
    "  130  interrupted (Ctrl-C); a download can then be resumed with --continue\n";

// Book numbers are digits, perhaps joined by underscores ("1_1234"); chapter
// numbers are digits, perhaps with a page number behind ("880001_2").
bool is_number_chain(const std::string& text, bool one_underscore_at_most) {
    int underscores = 0;
    bool digit_before = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digit_before = true;
        } else if (c == '_' && digit_before) {
            digit_before = false;
            ++underscores;
        } else {
            return false;
        }
    }
    return digit_before && (!one_underscore_at_most || underscores <= 1);
}

const CLI::Validator kBookNumber(
    [](const std::string& text) {
        return is_number_chain(text, false) ? std::string() : "not a book number: " + text;
    },
    "NUMBER");
const CLI::Validator kChapterNumber(
    [](const std::string& text) {
        return is_number_chain(text, true) ? std::string() : "not a chapter number: " + text;
    },
    "NUMBER");

const std::map<std::string, novel::cli::Encoding> kEncodings = {
    {"gbk", novel::cli::Encoding::gbk}, {"utf-8", novel::cli::Encoding::utf8}};

// A choice among named values; its help names them as "a|b", nothing more.
template <typename Value>
CLI::Validator choice_of(const std::map<std::string, Value>& values, const std::string& shown) {
    return CLI::CheckedTransformer(values, CLI::ignore_case).description("").name(shown);
}

// What a usage error says, in the tool's language; option names and values stay as given.
std::string usage_message(const CLI::ParseError& error, int argc, char** argv,
                          const std::string& commands) {
    std::string what = error.what();
    const auto after_colon = [&what] {
        const std::size_t colon = what.find(": ");
        return colon == std::string::npos ? what : what.substr(colon + 2);
    };
    if (what == "A subcommand is required") {
        if (argc > 1 && argv[1][0] != '-') {
            return "未知命令：" + std::string(argv[1]) + "（可用的命令：" + commands + "）";
        }
        return "缺少命令（可用的命令：" + commands + "）";
    }
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        return "多余的参数或未知的选项：" + after_colon();
    }
    if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
        if (what.ends_with(" is required")) what.resize(what.size() - 12);
        return "缺少参数：" + what;
    }
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr ||
        dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        return "无效的值：" + what;
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        return "参数个数不对：" + what;
    }
    return "用法错误：" + what;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace novel::cli;
    const Encoding locale = locale_encoding();

    CLI::App app{"Reads and downloads the novels of one site from a terminal."};
    app.set_version_flag("--version", std::string("novel ") + NOVEL_VERSION);
    app.footer(kExitStatuses);
    app.require_subcommand(1);
    // Options of the tool as a whole may stand behind the command's name too.
    app.fallthrough();
    LibraryChoice library{.path = novel::default_library_path()};
    app.add_option(
        "--library", library.path,
        "the library file every fetched page is kept in (default: " + library.path + ")");
    app.add_flag("--no-library", library.off, "keep nothing in the library this time");

    ReadOptions read;
    read.encoding = locale;
    CLI::App* read_command = app.add_subcommand("read", "Print a chapter's clean text.");
    read_command->add_option("URL", read.url, "the chapter page's address")->required();
    read_command->add_flag("--next", read.next_only, "print only the next page's address");
    read_command->add_option("--encoding", read.encoding, "what is printed: gbk or utf-8")
        ->transform(choice_of(kEncodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");
    read_command->footer(kExitStatuses);

    DownloadCommandOptions download;
    download.output = std::string(novel::OUTPUT_FILE_NAME);
    download.print_encoding = locale;
    std::string file_encoding = "gbk";
    CLI::App* download_command = app.add_subcommand(
        "download", "Write the chapters from START to END of BOOK into one file.");
    download_command->add_option("BOOK", download.book, "the book number, as in the address")
        ->check(kBookNumber);
    download_command->add_option("START", download.start, "the first chapter's number")
        ->check(kChapterNumber);
    download_command->add_option("END", download.end, "the last chapter's number")
        ->check(kChapterNumber);
    download_command->add_option("-o,--output", download.output,
                                 "the file (default: 文本.txt here)");
    download_command->add_flag("--continue", download.continue_run,
                               "go on with the unfinished download of --output");
    download_command
        ->add_option("--ahead", download.ahead,
                     "pages fetched at once along the chain, 1 (one by one) to 8; default 4")
        ->check(CLI::Range(1, novel::kMostFetchAhead));
    download_command
        ->add_option("--encoding", file_encoding,
                     "the file's encoding: gbk (as the windows write it) or utf-8")
        ->check(CLI::IsMember({"gbk", "utf-8"}, CLI::ignore_case).description(""))
        ->type_name("gbk|utf-8");
    download_command->add_flag("-q,--quiet", download.quiet, "print no progress");
    download_command->footer(kExitStatuses);

    ShelfOptions shelf{.encoding = locale};
    CLI::App* library_command = app.add_subcommand("library", "List the books in the library.");
    library_command->add_flag("--tsv", shelf.tsv,
                              "one tab-separated line per book: number, name, author, pages, "
                              "chapters, the newest page's address, the last read address");
    library_command->add_option("--encoding", shelf.encoding, "what is printed: gbk or utf-8")
        ->transform(choice_of(kEncodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");
    RemoveOptions removal{.encoding = locale};
    CLI::App* remove_command =
        library_command->add_subcommand("remove", "Remove a book and all its pages.");
    remove_command->add_option("BOOK", removal.book, "the book number")
        ->required()
        ->check(kBookNumber);

    ExportCommandOptions exporting{.print_encoding = locale};
    CLI::App* export_command_app =
        app.add_subcommand("export", "Write a book of the library into a txt or EPUB file.");
    export_command_app->add_option("BOOK", exporting.book, "the book number")
        ->required()
        ->check(kBookNumber);
    export_command_app->add_option("-o,--output", exporting.output, "the file")->required();
    const std::map<std::string, novel::ExportFormat> formats = {
        {"txt", novel::ExportFormat::txt}, {"epub", novel::ExportFormat::epub}};
    export_command_app
        ->add_option("--format", exporting.format, "txt or epub (default: from the file's suffix)")
        ->transform(choice_of(formats, "txt|epub"))
        ->type_name("txt|epub");
    const std::map<std::string, novel::TextEncoding> text_encodings = {
        {"gbk", novel::TextEncoding::gbk},
        {"gb18030", novel::TextEncoding::gb18030},
        {"utf-8", novel::TextEncoding::utf8}};
    export_command_app
        ->add_option("--encoding", exporting.encoding, "the txt file's encoding (default: gbk)")
        ->transform(choice_of(text_encodings, "gbk|gb18030|utf-8"))
        ->type_name("gbk|gb18030|utf-8");
    export_command_app->add_flag("--bom", exporting.byte_order_mark,
                                 "begin the txt file with a byte order mark");
    const std::map<std::string, bool> scripts = {{"simplified", false}, {"traditional", true}};
    export_command_app
        ->add_option("--script", exporting.traditional,
                     "simplified (as stored) or traditional characters")
        ->transform(choice_of(scripts, "simplified|traditional"))
        ->type_name("simplified|traditional");

    UpdateCommandOptions updating{.encoding = locale};
    CLI::App* update_command_app =
        app.add_subcommand("update", "Fetch the newest chapters of the books in the library.");
    update_command_app->add_option("BOOK", updating.books, "book numbers (default: every book)")
        ->check(kBookNumber);
    update_command_app->add_flag("--export", updating.export_again,
                                 "write each updated book's last export again");
    update_command_app->add_option("--encoding", updating.encoding, "what is printed: gbk or utf-8")
        ->transform(choice_of(kEncodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");

    try {
        app.parse(argc, argv);
        if (download_command->parsed() && !download.continue_run &&
            (download.book.empty() || download.start.empty() || download.end.empty())) {
            throw CLI::RequiredError("BOOK START END (or --continue)");
        }
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version);
    } catch (const CLI::ParseError& error) {
        // One line naming what was wrong, and where to read more.
        const std::string message =
            usage_message(error, argc, argv, "read、download、library、export、update");
        std::fprintf(stderr, "novel: %s（见 novel --help）\n", message.c_str());
        return kUsage;
    }
    download.utf8_file = file_encoding == "utf-8";

    read.library = library;
    download.library = library;
    if (remove_command->parsed()) {
        removal.library = library;
        return remove_book(removal);
    }
    if (library_command->parsed()) {
        shelf.library = library;
        return list_books(shelf);
    }
    const StopOnInterrupt interrupt;
    if (update_command_app->parsed()) {
        updating.library = library;
        return update_command(updating, interrupt.token());
    }
    if (export_command_app->parsed()) {
        exporting.library = library;
        return export_command(exporting, interrupt.token());
    }
    if (read_command->parsed()) return read_chapter(read, interrupt.token());
    return download_chapters(download, interrupt.token());
}
