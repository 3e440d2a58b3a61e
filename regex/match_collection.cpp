#include "regex/regex_engine.h"

namespace novel {
namespace {

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }

// One replacement for match `match`: "$$" "$&" "$`" "$'" "$n" "$nn"; any
// other "$" stays as written. "$nn" is taken only when group nn exists.
void expand_replacement(const MatchCollection& matches, std::size_t match,
                        std::u16string_view replacement, std::u16string* out) {
    const std::u16string_view subject = matches.subject();
    const MatchSpan whole = matches.span(match);
    const std::size_t groups = matches.group_count();
    for (std::size_t i = 0; i < replacement.size(); ++i) {
        const char16_t c = replacement[i];
        if (c != u'$' || i + 1 >= replacement.size()) {
            out->push_back(c);
            continue;
        }
        const char16_t next = replacement[i + 1];
        if (next == u'$') {
            out->push_back(u'$');
        } else if (next == u'&') {
            out->append(matches.value(match));
        } else if (next == u'`') {
            out->append(subject.substr(0, whole.start));
        } else if (next == u'\'') {
            out->append(subject.substr(whole.end()));
        } else if (is_digit(next)) {
            const std::size_t one = static_cast<std::size_t>(next - u'0');
            if (i + 2 < replacement.size() && is_digit(replacement[i + 2])) {
                const std::size_t two =
                    one * 10 + static_cast<std::size_t>(replacement[i + 2] - u'0');
                if (two >= 1 && two <= groups) {
                    out->append(matches.value(match, two));
                    i += 2;
                    continue;
                }
            }
            if (one < 1 || one > groups) {
                out->push_back(u'$');
                continue;
            }
            out->append(matches.value(match, one));
        } else {
            out->push_back(u'$');
            continue;
        }
        ++i;
    }
}

}  // namespace

MatchCollection::MatchCollection(std::shared_ptr<const std::u16string> subject,
                                 std::size_t group_count, std::vector<MatchSpan> spans)
    : subject_(std::move(subject)), group_count_(group_count), spans_(std::move(spans)) {}

MatchSpan MatchCollection::span(std::size_t match, std::size_t group) const {
    if (match >= size() || group > group_count_) return MatchSpan{};
    return spans_[match * (group_count_ + 1) + group];
}

std::u16string_view MatchCollection::value(std::size_t match, std::size_t group) const {
    const MatchSpan found = span(match, group);
    if (!found.is_set()) return {};
    return std::u16string_view(*subject_).substr(found.start, found.length);
}

void MatchCollection::map_to_source(const std::function<std::size_t(std::size_t)>& source_offset) {
    source_spans_.clear();
    source_spans_.reserve(spans_.size());
    for (const MatchSpan& unit_span : spans_) {
        if (!unit_span.is_set()) {
            source_spans_.push_back(MatchSpan{});
            continue;
        }
        const std::size_t begin = source_offset(unit_span.start);
        const std::size_t end = source_offset(unit_span.end());
        source_spans_.push_back(MatchSpan{.start = static_cast<std::uint32_t>(begin),
                                          .length = static_cast<std::uint32_t>(end - begin)});
    }
}

MatchSpan MatchCollection::source_span(std::size_t match, std::size_t group) const {
    if (source_spans_.empty()) return span(match, group);
    if (match >= size() || group > group_count_) return MatchSpan{};
    return source_spans_[match * (group_count_ + 1) + group];
}

std::u16string replace_matches(const MatchCollection& matches, std::u16string_view replacement) {
    const std::u16string_view subject = matches.subject();
    std::u16string out;
    out.reserve(subject.size());
    std::size_t copied = 0;
    for (std::size_t match = 0; match < matches.size(); ++match) {
        const MatchSpan whole = matches.span(match);
        out.append(subject.substr(copied, whole.start - copied));
        expand_replacement(matches, match, replacement, &out);
        copied = whole.end();
    }
    out.append(subject.substr(copied));
    return out;
}

}  // namespace novel
