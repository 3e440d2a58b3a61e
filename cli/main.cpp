// novel: the reader's and the download window's work from a terminal.
//
//   novel read URL [--next] [--encoding gbk|utf-8]
//   novel download BOOK START END [--output FILE] [--continue] [--ahead N]
//                  [--encoding gbk|utf-8] [--quiet]

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
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

// Each command's help lists only the exit statuses it can end with.
constexpr const char* kReadStatuses =
    "退出状态：\n"
    "  0    已取得该页\n"
    "  2    用法错误\n"
    "  4    网络失败（已重试）\n"
    "  130  被中断（Ctrl-C）\n";
constexpr const char* kDownloadStatuses =
    "退出状态：\n"
    "  0    已到达结束章节\n"
    "  1    "
    "下一页链接中断：没有下一页链接、链接重复、达到页数上限，或某页不是章节（如本书最后一章之后的 "
    "404）\n"
    "  2    用法错误，或 --continue 时没有可继续的下载、进度记录与文件或所给范围不符\n"
    "  3    文件或进度记录无法写入，或输出不是普通文件\n"
    "  4    网络失败（已重试）\n"
    "  130  被中断（Ctrl-C）；之后可用 --continue 接着下载\n";
constexpr const char* kLibraryStatuses =
    "退出状态：\n"
    "  0    成功\n"
    "  2    用法错误，或书库中没有这本书\n"
    "  3    书库无法打开、读取或写入\n";
constexpr const char* kExportStatuses =
    "退出状态：\n"
    "  0    已导出\n"
    "  2    用法错误，或书库中没有这本书\n"
    "  3    文件或书库无法读写\n"
    "  130  被中断（Ctrl-C）\n";
constexpr const char* kUpdateStatuses =
    "退出状态：\n"
    "  0    每本书都已检查（有或没有新章节）\n"
    "  2    用法错误，或书库中没有这本书\n"
    "  3    书库无法打开或写入\n"
    "  4    有书因网络原因无法检查\n"
    "  130  被中断（Ctrl-C）\n";
constexpr const char* kAllStatuses =
    "各命令的退出状态见 novel 命令 --help（如 novel download --help）。\n";

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

// The help names what a number is in the argument's own description.
const CLI::Validator kBookNumber(
    [](const std::string& text) {
        return is_number_chain(text, false) ? std::string() : "不是书号：" + text;
    },
    "");
const CLI::Validator kChapterNumber(
    [](const std::string& text) {
        return is_number_chain(text, true) ? std::string() : "不是章节序号：" + text;
    },
    "");

// A whole number from least to most, said in the tool's language.
CLI::Validator whole_number_between(int least, int most) {
    return CLI::Validator(
        [least, most](const std::string& text) {
            const std::string range = std::to_string(least) + " 到 " + std::to_string(most);
            int value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || value < least || value > most) {
                return "应为 " + range + " 之间的整数：" + text;
            }
            return std::string();
        },
        "");
}

const std::map<std::string, novel::cli::Encoding> kEncodings = {
    {"gbk", novel::cli::Encoding::gbk}, {"utf-8", novel::cli::Encoding::utf8}};

// A choice among named values, any case; its help names them as "a|b",
// nothing more. The name becomes its value's number, which CLI11 reads
// into the option's enum or bool.
template <typename Value>
CLI::Validator choice_of(const std::map<std::string, Value>& values, const std::string& shown) {
    return CLI::Validator(
        [values, shown](std::string& text) {
            std::string lower = text;
            std::ranges::transform(lower, lower.begin(), [](unsigned char c) {
                return static_cast<char>(std::tolower(c));
            });
            const auto found = values.find(lower);
            if (found == values.end()) return "应为 " + shown + " 之一：" + text;
            text = std::to_string(static_cast<int>(found->second));
            return std::string();
        },
        "");
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
    // CLI11 writes "NAME: why"; the why is ours.
    const auto named = [&what](const char* separator) {
        const std::size_t colon = what.find(": ");
        return colon == std::string::npos
                   ? what
                   : what.substr(0, colon) + separator + what.substr(colon + 2);
    };
    if (dynamic_cast<const CLI::ValidationError*>(&error) != nullptr ||
        dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
        return "无效的值：" + named("：");
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        const std::size_t colon = what.find(": ");
        if (what.ends_with(" missing") && colon != std::string::npos) {
            return "缺少值：" + what.substr(0, colon);
        }
        return "参数个数不对：" + what;
    }
    return "用法错误：" + what;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace novel::cli;
    const Encoding locale = locale_encoding();

    CLI::App app{"在终端中阅读和下载本站的小说。"};
    app.footer(kAllStatuses);
    // The help speaks the tool's language; subcommands made below inherit it.
    for (const auto& [key, label] :
         std::initializer_list<std::pair<const char*, const char*>>{{"Usage", "用法"},
                                                                    {"OPTIONS", "选项"},
                                                                    {"SUBCOMMAND", "命令"},
                                                                    {"REQUIRED", "必需"},
                                                                    {"Positionals", "参数"}}) {
        app.get_formatter()->label(key, label);
    }
    app.option_defaults()->group("选项");
    app.set_help_flag("-h,--help", "显示本帮助并退出");
    app.set_version_flag("--version", std::string("novel ") + NOVEL_VERSION, "显示版本并退出");
    app.require_subcommand(1);
    // Options of the tool as a whole may stand behind the command's name too.
    app.fallthrough();
    LibraryChoice library{.path = novel::default_library_path()};
    app.add_option("--library", library.path,
                   "保存所有已获取页面的书库文件（默认：" + library.path + "）")
        ->type_name("FILE");
    app.add_flag("--no-library", library.off, "本次不写入书库");

    ReadOptions read;
    read.encoding = locale;
    CLI::App* read_command = app.add_subcommand("read", "打印一章的正文。");
    read_command->add_option("URL", read.url, "章节页的地址")->required()->type_name("");
    read_command->add_flag("--next", read.next_only, "只打印下一页的地址");
    read_command->add_option("--encoding", read.encoding, "打印的编码：gbk 或 utf-8")
        ->transform(choice_of(kEncodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");
    read_command->footer(kReadStatuses);

    DownloadCommandOptions download;
    download.output = std::string(novel::OUTPUT_FILE_NAME);
    download.print_encoding = locale;
    CLI::App* download_command =
        app.add_subcommand("download", "把书号 BOOK 从 START 到 END 的各章写入一个文件。");
    download_command->add_option("BOOK", download.book, "书号，与地址中的相同")
        ->check(kBookNumber)
        ->type_name("");
    download_command->add_option("START", download.start, "起始章节序号")
        ->check(kChapterNumber)
        ->type_name("");
    download_command->add_option("END", download.end, "结束章节序号")
        ->check(kChapterNumber)
        ->type_name("");
    download_command
        ->add_option("-o,--output", download.output, "输出文件（默认：当前目录的 文本.txt）")
        ->type_name("FILE");
    download_command->add_flag("--continue", download.continue_run,
                               "接着下载 --output 未完成的下载");
    download_command
        ->add_option("--ahead", download.ahead, "沿下一页链接同时获取的页数，1（逐页）到 8；默认 4")
        ->check(whole_number_between(1, novel::kMostFetchAhead))
        ->type_name("1-8");
    const std::map<std::string, bool> file_encodings = {{"gbk", false}, {"utf-8", true}};
    download_command
        ->add_option("--encoding", download.utf8_file, "文件的编码：gbk（与窗口相同）或 utf-8")
        ->transform(choice_of(file_encodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");
    download_command->add_flag("-q,--quiet", download.quiet, "不显示进度");
    download_command->footer(kDownloadStatuses);

    ShelfOptions shelf{.encoding = locale};
    CLI::App* library_command = app.add_subcommand("library", "列出书库中的书。");
    library_command->add_flag("--tsv", shelf.tsv,
                              "每本书一行，以制表符分隔：书号、书名、作者、页数、"
                              "章数、最新一页的地址、上次读到的地址");
    library_command->add_option("--encoding", shelf.encoding, "打印的编码：gbk 或 utf-8")
        ->transform(choice_of(kEncodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");
    library_command->footer(kLibraryStatuses);
    RemoveOptions removal{.encoding = locale};
    CLI::App* remove_command =
        library_command->add_subcommand("remove", "从书库中删除一本书及其所有页面。");
    remove_command->add_option("BOOK", removal.book, "书号")
        ->required()
        ->check(kBookNumber)
        ->type_name("");

    ExportCommandOptions exporting{.print_encoding = locale};
    CLI::App* export_command_app =
        app.add_subcommand("export", "把书库中的一本书导出为 txt 或 EPUB 文件。");
    export_command_app->add_option("BOOK", exporting.book, "书号")
        ->required()
        ->check(kBookNumber)
        ->type_name("");
    export_command_app->add_option("-o,--output", exporting.output, "输出文件")
        ->required()
        ->type_name("FILE");
    const std::map<std::string, novel::ExportFormat> formats = {
        {"txt", novel::ExportFormat::txt}, {"epub", novel::ExportFormat::epub}};
    export_command_app->add_option("--format", exporting.format, "txt 或 epub（默认：按文件后缀）")
        ->transform(choice_of(formats, "txt|epub"))
        ->type_name("txt|epub");
    const std::map<std::string, novel::TextEncoding> text_encodings = {
        {"gbk", novel::TextEncoding::gbk},
        {"gb18030", novel::TextEncoding::gb18030},
        {"utf-8", novel::TextEncoding::utf8}};
    export_command_app->add_option("--encoding", exporting.encoding, "txt 文件的编码（默认：gbk）")
        ->transform(choice_of(text_encodings, "gbk|gb18030|utf-8"))
        ->type_name("gbk|gb18030|utf-8");
    export_command_app->add_flag("--bom", exporting.byte_order_mark,
                                 "在 txt 文件开头写入字节顺序标记");
    const std::map<std::string, bool> scripts = {{"simplified", false}, {"traditional", true}};
    export_command_app->add_option("--script", exporting.traditional, "简体（与书库相同）或繁体")
        ->transform(choice_of(scripts, "simplified|traditional"))
        ->type_name("simplified|traditional");

    export_command_app->footer(kExportStatuses);

    UpdateCommandOptions updating{.encoding = locale};
    CLI::App* update_command_app = app.add_subcommand("update", "获取书库中各书的最新章节。");
    update_command_app->add_option("BOOK", updating.books, "书号（默认：所有书）")
        ->check(kBookNumber)
        ->type_name("");
    update_command_app->add_flag("--export", updating.export_again,
                                 "重新写出每本有更新的书上次的导出");
    update_command_app->add_option("--encoding", updating.encoding, "打印的编码：gbk 或 utf-8")
        ->transform(choice_of(kEncodings, "gbk|utf-8"))
        ->type_name("gbk|utf-8");
    update_command_app->footer(kUpdateStatuses);
    for (CLI::App* command : {read_command, download_command, library_command, remove_command,
                              export_command_app, update_command_app}) {
        command->group("命令");
        command->get_help_ptr()->group("选项");
    }

    try {
        app.parse(argc, argv);
        if (download_command->parsed() && !download.continue_run &&
            (download.book.empty() || download.start.empty() || download.end.empty())) {
            throw CLI::RequiredError("BOOK START END（或 --continue）");
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
