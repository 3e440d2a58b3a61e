#include "cli/download_text.h"

#include "cli/terminal.h"
#include "download/download_messages.h"

namespace novel::cli {
namespace {

std::string gbk(std::u16string_view text) { return gbk_of(text); }

std::string count(std::uint64_t n) { return std::to_string(n); }

std::string file_failure(const RangeResult& result, const std::string& output_path) {
    const std::string path = gbk_from_utf8(output_path);
    std::string message;
    switch (result.failed_step) {
        case FileStep::open:
        case FileStep::append:
            message = gbk(u"无法写入文件：") + path;
            break;
        case FileStep::journal:
            message = gbk(u"无法写入下载进度记录：") + path + ".progress";
            break;
        case FileStep::cut_back:
            message = gbk(u"无法继续下载：") + path;
            break;
    }
    message += " " + gbk(u"原因：") + gbk_from_utf8(result.file_reason);
    if (result.pages > 0) {
        message += " " + gbk(u"文件中保存了此前下载的") + count(result.pages) + gbk(u"页。");
    }
    return message;
}

}  // namespace

std::string download_end_message(const RangeResult& result, const std::string& output_path,
                                 bool can_continue) {
    const std::string hint = can_continue ? gbk(u"（可用 --continue 接着下载）") : std::string();
    switch (result.end) {
        case RangeEnd::reached_end:
            return gbk(u"下载完毕：") + count(result.pages) + gbk(u"页，已写入 ") +
                   gbk_from_utf8(output_path);
        case RangeEnd::newest_chapter:
            return newest_chapter_line(result) + gbk(u"已写入 ") + gbk_from_utf8(output_path);
        case RangeEnd::no_next_link:
        case RangeEnd::repeated_link:
        case RangeEnd::page_limit:
            return broken_chain_line(result);
        case RangeEnd::stopped:
            return gbk(u"下载已被用户停止，此前已下载") + count(result.pages) + gbk(u"页。") + hint;
        case RangeEnd::fetch_failed:
            return gbk(u"第") + count(result.pages + 1) + gbk(u"页获取失败：") +
                   result.fetch_reason + gbk(u"（") + result.failed_link + gbk(u"）") + hint;
        case RangeEnd::no_journal:
            return gbk(u"没有可以继续的下载：") + gbk_from_utf8(output_path);
        case RangeEnd::journal_refused:
            // The file stays as it was; a fresh run is the way on.
            return gbk(u"无法继续下载：") + journal_problem_line(result) +
                   gbk(u"（文件未作改动；不带 --continue 可重新下载）");
        case RangeEnd::file_failed:
            break;
    }
    return file_failure(result, output_path) + hint;
}

}  // namespace novel::cli
