#pragma once
// What the reading view shows of a chapter: one paragraph a line, each
// indented by two full-width spaces, without the blank lines the chapter may
// or may not have between paragraphs and, unless asked for, without the
// site's advert and rule lines. Copying maps a part of the view back to the
// chapter's own text, so nothing the view changes reaches the clipboard.

#include <QString>
#include <QStringView>
#include <vector>

namespace novel {

struct ReadingViewOptions {
    bool show_site_additions = false;
};

// A stretch of the view copied from the chapter as it stands.
struct ViewRun {
    qsizetype shown_at = 0;
    qsizetype chapter_at = 0;
    qsizetype length = 0;
};

struct ReadingView {
    QString text;  // paragraphs separated by '\n'
    std::vector<ViewRun> runs;
};

// The site's advert lines ("趣笔阁 m.qubige.com7_7001 手机阅读，最快更新…
// 最新章节") and lines of hyphens only.
[[nodiscard]] bool is_site_addition(QStringView line);

[[nodiscard]] ReadingView make_reading_view(const QString& chapter,
                                            const ReadingViewOptions& options);

// The chapter's text behind the view's characters [from, to): from the first
// chapter character shown at or after `from` to the last shown before `to`,
// with everything the view left out in between.
[[nodiscard]] QString chapter_text_behind(const ReadingView& view, const QString& chapter,
                                          qsizetype from, qsizetype to);

}  // namespace novel
