#include "app/download_endings.h"

#include "app/gbk_qstring.h"
#include "download/download_messages.h"

namespace novel {
namespace {

QString file_failure_line(const RangeResult& result, const QString& path) {
    switch (result.failed_step) {
        case FileStep::journal:
            return QStringLiteral("无法写入下载进度记录：%1.progress").arg(path);
        case FileStep::cut_back:
            return QStringLiteral("无法继续下载：%1").arg(path);
        case FileStep::open:
        case FileStep::append:
            break;
    }
    return QStringLiteral("无法写入文件：%1").arg(path);
}

QString continue_line(bool can_continue) {
    return can_continue ? QStringLiteral("打开下载窗口点击“继续下载”可从此处接着下载。")
                        : QStringLiteral("不能继续下载，只能重新开始。");
}

QString epub_lines(const RunEnding& ending) {
    if (!ending.epub_path.isEmpty()) return QStringLiteral("\r\nEPUB 在：") + ending.epub_path;
    if (!ending.epub_failure.isEmpty()) {
        return QStringLiteral("\r\n未能导出 EPUB：") + ending.epub_failure;
    }
    return {};
}

}  // namespace

QString ending_text(const RunEnding& ending) {
    const RangeResult& result = ending.result;
    const QString where = QStringLiteral("\r\n文件在：") + ending.path;
    const QString done = QStringLiteral("下载完毕，请到同目录查看");
    QString head;
    QString why;
    switch (result.end) {
        case RangeEnd::reached_end:
            return done + where + epub_lines(ending);
        case RangeEnd::newest_chapter:
            return done + where + QStringLiteral("\r\n") +
                   qstring_from_gbk(newest_chapter_line(result)) + epub_lines(ending);
        case RangeEnd::no_next_link:
        case RangeEnd::repeated_link:
        case RangeEnd::page_limit:
            return done + where + QStringLiteral("\r\n") +
                   qstring_from_gbk(broken_chain_line(result)) + epub_lines(ending);
        case RangeEnd::no_journal:
        case RangeEnd::journal_refused:
            // Nothing ran: the file is as it was.
            return qstring_from_gbk(final_message(result, "", false));
        case RangeEnd::stopped:
            head = QStringLiteral("下载已停止");
            why = QStringLiteral("下载已被用户停止，此前已下载%1页。").arg(result.pages);
            break;
        case RangeEnd::fetch_failed:
            head = QStringLiteral("下载未完成");
            why = QStringLiteral("第%1页获取失败：%2（%3）")
                      .arg(result.pages + 1)
                      .arg(qstring_from_gbk(result.fetch_reason))
                      .arg(qstring_from_gbk(result.failed_link));
            break;
        case RangeEnd::file_failed:
            head = QStringLiteral("下载未完成");
            why = file_failure_line(result, ending.path) + QStringLiteral("\r\n原因：") +
                  QString::fromStdString(result.file_reason);
            break;
    }
    return head + QStringLiteral("\r\n") + why +
           QStringLiteral("\r\n文件中有%1页：%2").arg(result.pages).arg(ending.path) +
           QStringLiteral("\r\n") + continue_line(ending.can_continue);
}

}  // namespace novel
