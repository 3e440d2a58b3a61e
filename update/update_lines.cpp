#include "update/update_lines.h"

#include "platform/gbk.h"

namespace novel {
namespace {

std::string gbk(std::u16string_view text) { return utf16_to_gbk(text); }

}  // namespace

std::string update_line(const BookUpdate& update) {
    std::string line = gbk(u"《") + update.name + gbk(u"》：");
    switch (update.outcome) {
        case UpdateOutcome::network_failed:
            return line + gbk(u"无法检查更新：") + update.reason;
        case UpdateOutcome::library_failed:
            return line + gbk(u"无法读写书库：") + gbk_from_utf8(update.reason);
        case UpdateOutcome::not_stored:
            return line + gbk(u"书库中没有这本书的页面");
        case UpdateOutcome::stopped:
            return line + gbk(u"已停止");
        case UpdateOutcome::checked:
            break;
    }
    const auto& added = update.new_chapters;
    if (added.empty()) {
        line += gbk(u"没有新章节");
    } else {
        line += gbk(u"新增 ") + std::to_string(added.size()) + gbk(u" 章（") + added.front().title;
        if (added.size() > 1) line += gbk(u" …… ") + added.back().title;
        line += gbk(u"）");
    }
    if (update.updated_pages > 0) {
        line += gbk(u"，更新 ") + std::to_string(update.updated_pages) + gbk(u" 章");
    }
    return line;
}

std::string export_again_line(const ExportAgain& again) {
    const std::string book = gbk(u"《") + again.name + gbk(u"》");
    if (!again.record && again.result.end == BookExportEnd::written) {
        return book + gbk(u"没有导出过，不导出");
    }
    const BookExportResult& result = again.result;
    const std::string reason = gbk_from_utf8(result.reason);
    switch (result.end) {
        case BookExportEnd::written: {
            std::string line = gbk(u"已重新导出") + book + std::to_string(result.pages) +
                               gbk(u" 页到 ") + gbk_from_utf8(again.record->path);
            if (!result.gaps.empty()) {
                line += gbk(u"（缺少 ") + std::to_string(result.gaps.size()) + gbk(u" 页）");
            }
            return line;
        }
        case BookExportEnd::no_pages:
            return book + gbk(u"未能重新导出：书库中没有这本书的页面");
        case BookExportEnd::library_failed:
            return book + gbk(u"未能重新导出：无法读取书库：") + reason;
        case BookExportEnd::file_failed:
            return book + gbk(u"未能重新导出：无法写入文件 ") +
                   gbk_from_utf8(again.record ? again.record->path : std::string()) + gbk(u"：") +
                   reason;
        case BookExportEnd::converter_failed:
            return book + gbk(u"未能重新导出：无法转换为繁体：") + reason;
        case BookExportEnd::stopped:
            break;
    }
    return book + gbk(u"的导出已停止");
}

}  // namespace novel
