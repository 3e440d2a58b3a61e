#include "app/update_lines.h"

#include "app/gbk_qstring.h"

namespace novel {

QString update_line_text(const BookUpdate& update) {
    QString line = QStringLiteral("《%1》：").arg(qstring_from_gbk(update.name));
    switch (update.outcome) {
        case UpdateOutcome::network_failed:
            return line + QStringLiteral("无法检查更新：") + qstring_from_gbk(update.reason);
        case UpdateOutcome::library_failed:
            return line + QStringLiteral("无法读写书库：") + QString::fromStdString(update.reason);
        case UpdateOutcome::not_stored:
            return line + QStringLiteral("书库中没有这本书的页面");
        case UpdateOutcome::stopped:
            return line + QStringLiteral("已停止");
        case UpdateOutcome::checked:
            break;
    }
    const auto& added = update.new_chapters;
    if (added.empty()) {
        line += QStringLiteral("没有新章节");
    } else {
        line += QStringLiteral("新增 %1 章（").arg(added.size()) +
                qstring_from_gbk(added.front().title);
        if (added.size() > 1) line += QStringLiteral(" …… ") + qstring_from_gbk(added.back().title);
        line += QStringLiteral("）");
    }
    if (update.updated_pages > 0) {
        line += QStringLiteral("，更新 %1 章").arg(update.updated_pages);
    }
    return line;
}

}  // namespace novel
