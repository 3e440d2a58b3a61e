#pragma once
// The box at the end of a run in the download window: how the run ended,
// why, how many pages the file holds, where it is and whether it can be
// continued.

#include <QString>

#include "download/range_download.h"

namespace novel {

struct RunEnding {
    const RangeResult& result;
    QString path;  // the text file's full path
    bool can_continue = false;
    QString epub_path;     // written beside the text file; empty when not
    QString epub_failure;  // why it was not, when it was asked for
};

// "下载完毕，请到同目录查看" first for a run that reached its end or met one
// of the chain's own stops, 「下载已停止」 for one the user stopped,
// 「下载未完成」 for one that failed.
[[nodiscard]] QString ending_text(const RunEnding& ending);

}  // namespace novel
