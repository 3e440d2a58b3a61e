#include "app/library_opening.h"

#include "library/library.h"

namespace novel {

OpenedLibrary open_library_for_windows(const std::string& path) {
    if (path.empty()) return {};
    OpenResult opened = open_library(path);
    switch (opened.outcome) {
        case OpenOutcome::opened:
            return {.library = std::move(opened.library), .notice = {}};
        case OpenOutcome::made_fresh:
            return {.library = std::move(opened.library),
                    .notice = QStringLiteral("书库文件已损坏，已另存为 %1，并新建了书库。")
                                  .arg(QString::fromStdString(opened.set_aside_path))};
        case OpenOutcome::refused:
            return {.library = nullptr,
                    .notice = QStringLiteral("书库由较新版本的程序写入，本次不读写书库。")};
        case OpenOutcome::failed:
            break;
    }
    return {
        .library = nullptr,
        .notice =
            QStringLiteral("无法打开书库：%1").arg(QString::fromStdString(opened.status.message))};
}

}  // namespace novel
