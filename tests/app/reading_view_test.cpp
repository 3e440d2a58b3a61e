// The reading view's text, its hidden site lines and the way back from a
// selection to the chapter's own text; the look's pure parts. No display.

#include "app/reading_view.h"

#include <gtest/gtest.h>

#include "app/reading_look.h"

namespace novel {
namespace {

const QString INDENT = QStringLiteral("\u3000\u3000");

QString shown(const QString& chapter, bool additions = false) {
    return make_reading_view(chapter, {.show_site_additions = additions}).text;
}

TEST(ReadingView, ParagraphsAreIndentedAndSpacedAlikeWhateverTheChapterBreaksAre) {
    const QString expected = INDENT + QStringLiteral("第一段。") + QLatin1Char('\n') + INDENT +
                             QStringLiteral("第二段。");
    const std::vector<QString> chapters{
        QStringLiteral("第一段。\n第二段。"),
        QStringLiteral("第一段。\n\n第二段。\n"),
        QStringLiteral("\r\n\r\n第一段。\r\n\r\n\r\n第二段。\r\n"),
        QStringLiteral("\u3000\u3000第一段。\r\u3000\u3000第二段。"),
        QStringLiteral("    第一段。  \n \t \n\u00A0第二段。"),
    };
    for (const QString& chapter : chapters)
        EXPECT_EQ(shown(chapter), expected) << chapter.toStdString();
    EXPECT_EQ(shown(QString()), QString());
    EXPECT_EQ(shown(QStringLiteral("\n \n\u3000\n")), QString());
}

TEST(ReadingView, SiteAdvertsAndRulesAreKnownAndNothingElse) {
    const std::vector<QString> additions{
        QStringLiteral("趣笔阁 m.qubige.com7_7001 手机阅读，最快更新青石巷的灯最新章节"),
        QStringLiteral("  趣笔阁m.qubige.com 12_345手机阅读，最快更新山海书最新章节 "),
        QStringLiteral("趣笔阁 m.qubige.com 88 手机阅读，最快更新一本书最新章节"),
        QStringLiteral("-------------"),
        QStringLiteral("-"),
        QStringLiteral("－－－－－－"),
    };
    for (const QString& line : additions) EXPECT_TRUE(is_site_addition(line)) << line.toStdString();
    const std::vector<QString> story{
        QStringLiteral("他说：“手机阅读，最快更新的是哪本？最新章节呢？”"),
        QStringLiteral("趣笔阁 m.other.com7_7001 手机阅读，最快更新青石巷的灯最新章节"),
        QStringLiteral("趣笔阁 m.qubige.com7_7001 手机阅读，最快更新青石巷的灯"),
        QStringLiteral("——"),
        QStringLiteral("-- 完 --"),
        QStringLiteral("趣笔阁"),
        QString(),
    };
    for (const QString& line : story) EXPECT_FALSE(is_site_addition(line)) << line.toStdString();
}

TEST(ReadingView, SiteLinesAreHiddenUnlessAskedFor) {
    const QString chapter = QStringLiteral(
        "趣笔阁 m.qubige.com7_7001 手机阅读，最快更新青石巷的灯最新章节\n"
        "正文一。\n----------\n正文二。");
    EXPECT_EQ(shown(chapter),
              INDENT + QStringLiteral("正文一。\n") + INDENT + QStringLiteral("正文二。"));
    const QString all = shown(chapter, true);
    EXPECT_TRUE(all.startsWith(INDENT + QStringLiteral("趣笔阁")));
    EXPECT_TRUE(all.contains(INDENT + QStringLiteral("----------\n")));
}

TEST(ReadingView, ASelectionGivesBackTheChaptersOwnText) {
    const QString chapter = QStringLiteral("  甲乙丙。\n\n----\n丁戊己。  \n");
    const ReadingView view = make_reading_view(chapter, {});
    ASSERT_EQ(view.text,
              INDENT + QStringLiteral("甲乙丙。\n") + INDENT + QStringLiteral("丁戊己。"));
    // All of it, blank lines and spaces at either end included.
    EXPECT_EQ(chapter_text_behind(view, chapter, 0, view.text.size()), chapter);
    // Inside one paragraph: exactly those characters.
    EXPECT_EQ(chapter_text_behind(view, chapter, 3, 5), QStringLiteral("乙丙"));
    // Across the hidden rule: the rule and the blank line come along.
    const qsizetype second = view.text.indexOf(QStringLiteral("丁"));
    EXPECT_EQ(chapter_text_behind(view, chapter, 4, second + 2),
              QStringLiteral("丙。\n\n----\n丁戊"));
    // Only the indent, or nothing: nothing of the chapter.
    EXPECT_EQ(chapter_text_behind(view, chapter, 0, 2), QString());
    EXPECT_EQ(chapter_text_behind(view, chapter, 4, 4), QString());
}

TEST(ReadingLook, LinesStayNarrowAndCentredAndTheDesktopPicksTheFirstTheme) {
    // A narrow view keeps the smallest margin; a wide one centres 40 characters.
    EXPECT_EQ(side_margin(300, 18), SMALLEST_SIDE_MARGIN);
    EXPECT_EQ(side_margin(1720, 18), (1720 - 40 * 18) / 2);
    EXPECT_EQ(1720 - 2 * side_margin(1720, 18), 40 * 18);
    EXPECT_EQ(side_margin(1720, 30), (1720 - 40 * 30) / 2);

    EXPECT_EQ(theme_for_desktop(QColor(0xEF, 0xEF, 0xEF)), ReadingTheme::day);
    EXPECT_EQ(theme_for_desktop(QColor(0x2A, 0x2A, 0x2E)), ReadingTheme::night);
    // Every theme reads: text and ground far apart in lightness.
    for (const ReadingTheme theme : READING_THEMES) {
        const ThemeColours colours = theme_colours(theme);
        EXPECT_GT(std::abs(colours.text.lightness() - colours.base.lightness()), 100)
            << theme_name(theme).toStdString();
    }
    EXPECT_GT(theme_colours(ReadingTheme::day).base.lightness(),
              theme_colours(ReadingTheme::night).base.lightness());
}

}  // namespace
}  // namespace novel
