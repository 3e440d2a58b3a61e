#include "download/download_messages.h"

#include <optional>

#include "platform/gbk.h"
#include "platform/utf8.h"

namespace novel {
namespace {

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

std::string count(std::size_t n) { return std::to_string(n); }

}  // namespace

std::string broken_chain_line(const RangeResult& result) {
    std::string line = gbk(u"下一页链接在第") + count(result.pages) + gbk(u"页后中断（");
    switch (result.end) {
        case RangeEnd::no_next_link:
            line += gbk(u"该页没有下一页链接");
            break;
        case RangeEnd::repeated_link:
            line += gbk(u"下一页链接指向本次已下载的页面");
            break;
        default:
            line += gbk(u"已达到每次") + count(MAX_PAGES_PER_RUN) + gbk(u"页的上限");
            break;
    }
    return line + gbk(u"），未到达结束章节。");
}

std::string newest_chapter_line(const RangeResult& result) {
    return gbk(u"已下载到本书最新一章，共") + count(result.pages) +
           gbk(u"页（其后一页网站上尚未发布）。");
}

std::string journal_problem_line(const RangeResult& result) {
    switch (result.journal_problem) {
        case JournalProblem::other_site:
            return gbk(u"进度记录中的下一页不在本站。");
        case JournalProblem::other_range:
            return gbk(u"进度记录是书号") + result.journal_range.book + gbk(u"从") +
                   result.journal_range.start + gbk(u"到") + result.journal_range.end +
                   gbk(u"章的下载，与所给的不同。");
        case JournalProblem::file_changed:
        case JournalProblem::none:
            break;
    }
    return gbk(u"文件与进度记录不符（已被改动，或不是记录所属的文件）。");
}

std::string start_message() { return gbk(u"开始下载，请耐心等待"); }

std::string final_message(const RangeResult& result, std::string_view output_path,
                          bool can_continue) {
    const std::string done = gbk(u"下载完毕，请到同目录查看");
    const std::string how_to_continue =
        can_continue ? "\r\n" + gbk(u"打开下载窗口点击“继续下载”可从此处接着下载。")
                     : std::string();
    std::string message;
    switch (result.end) {
        case RangeEnd::reached_end:
            return done;
        case RangeEnd::newest_chapter:
            return done + "\r\n" + newest_chapter_line(result);
        case RangeEnd::no_next_link:
        case RangeEnd::repeated_link:
        case RangeEnd::page_limit:
            return done + "\r\n" + broken_chain_line(result);
        case RangeEnd::stopped:
            return done + "\r\n" + gbk(u"下载已被用户停止，此前已下载") + count(result.pages) +
                   gbk(u"页。") + how_to_continue;
        case RangeEnd::fetch_failed:
            return done + "\r\n" + gbk(u"第") + count(result.pages + 1) + gbk(u"页获取失败：") +
                   result.fetch_reason + gbk(u"（") + result.failed_link + gbk(u"）") +
                   how_to_continue;
        case RangeEnd::no_journal:
            return gbk(u"没有可以继续的下载。");
        case RangeEnd::journal_refused:
            // The file stays as it was; a fresh run is the way on.
            return gbk(u"无法继续下载：") + journal_problem_line(result) + "\r\n" +
                   gbk(u"文件未作改动。可点击“开始下载”重新下载。");
        case RangeEnd::file_failed:
            break;
    }
    switch (result.failed_step) {
        case FileStep::open:
        case FileStep::append:
            message = gbk(u"无法写入文件：") + gbk_from_utf8(output_path);
            break;
        case FileStep::journal:
            message = gbk(u"无法写入下载进度记录：") + gbk_from_utf8(output_path) + ".progress";
            break;
        case FileStep::cut_back:
            message = gbk(u"无法继续下载：") + gbk_from_utf8(output_path);
            break;
    }
    message += "\r\n" + gbk(u"原因：") + gbk_from_utf8(result.file_reason);
    if (result.pages > 0) {
        message += "\r\n" + gbk(u"文件中保存了此前下载的") + count(result.pages) + gbk(u"页。");
    }
    return message + how_to_continue;
}

std::string no_directory_message(std::string_view reason) {
    return gbk(u"找不到程序所在的目录，无法保存文件。") + "\r\n" + gbk(u"原因：") +
           gbk_from_utf8(reason);
}

}  // namespace novel
