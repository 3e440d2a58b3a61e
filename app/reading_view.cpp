#include "app/reading_view.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <string_view>

#include "chapter/site.h"

namespace novel {
namespace {

const QString PARAGRAPH_INDENT = QStringLiteral("\u3000\u3000");

// The site's reading host on phones: its own host with "m." for "www.".
QString mobile_host() {
    std::string_view host = SITE_ORIGIN;
    if (const auto end = host.find("://"); end != std::string_view::npos)
        host.remove_prefix(end + 3);
    if (host.starts_with("www.")) host.remove_prefix(4);
    return QStringLiteral("m.") +
           QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size()));
}

const QRegularExpression& advert_line() {
    static const QRegularExpression pattern(
        QStringLiteral("^趣笔阁\\s*") + QRegularExpression::escape(mobile_host()) +
        QStringLiteral("\\s*\\d+(?:_\\d+)?\\s*手机阅读，最快更新.*最新章节$"));
    return pattern;
}

bool is_rule_line(QStringView line) {
    return !line.isEmpty() && std::all_of(line.begin(), line.end(), [](QChar c) {
        return c == QLatin1Char('-') || c == QChar(0xFF0D);
    });
}

bool is_space(QChar c) { return c.isSpace(); }  // U+3000 and U+00A0 included

}  // namespace

bool is_site_addition(QStringView line) {
    const QStringView trimmed = line.trimmed();
    return is_rule_line(trimmed) || advert_line().match(trimmed.toString()).hasMatch();
}

ReadingView make_reading_view(const QString& chapter, const ReadingViewOptions& options) {
    ReadingView view;
    qsizetype start = 0;
    while (start <= chapter.size()) {
        qsizetype end = start;
        while (end < chapter.size() && chapter[end] != QLatin1Char('\n') &&
               chapter[end] != QLatin1Char('\r')) {
            ++end;
        }
        qsizetype first = start;
        qsizetype last = end;
        while (first < last && is_space(chapter[first])) ++first;
        while (last > first && is_space(chapter[last - 1])) --last;
        const QStringView line(chapter.constData() + first, last - first);
        if (!line.isEmpty() && (options.show_site_additions || !is_site_addition(line))) {
            if (!view.text.isEmpty()) view.text += QLatin1Char('\n');
            view.text += PARAGRAPH_INDENT;
            view.runs.push_back(
                {.shown_at = view.text.size(), .chapter_at = first, .length = line.size()});
            view.text += line;
        }
        if (end >= chapter.size()) break;
        // CR LF is one break.
        start = end + 1;
        if (chapter[end] == QLatin1Char('\r') && start < chapter.size() &&
            chapter[start] == QLatin1Char('\n')) {
            ++start;
        }
    }
    return view;
}

QString chapter_text_behind(const ReadingView& view, const QString& chapter, qsizetype from,
                            qsizetype to) {
    // All of it: the leading and trailing blank lines belong to the chapter too.
    if (from <= 0 && to >= view.text.size()) return chapter;
    std::optional<qsizetype> begin;
    std::optional<qsizetype> finish;
    for (const ViewRun& run : view.runs) {
        const qsizetype run_end = run.shown_at + run.length;
        const qsizetype lo = std::max(from, run.shown_at);
        const qsizetype hi = std::min(to, run_end);
        if (lo >= hi) continue;
        if (!begin) begin = run.chapter_at + (lo - run.shown_at);
        finish = run.chapter_at + (hi - run.shown_at);
    }
    if (!begin || !finish) return {};
    return chapter.mid(*begin, *finish - *begin);
}

}  // namespace novel
