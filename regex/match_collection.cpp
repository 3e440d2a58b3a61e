#include "regex/regex_engine.h"

namespace novel {
namespace {

template <typename Char>
bool is_digit(Char c) {
    return c >= Char{'0'} && c <= Char{'9'};
}

// Replacement work in the units of one text: the UTF-16 subject, or the GBK
// bytes it was decoded from. span_of(match, group) gives spans in those units.
// In GBK, "$" and the characters that may follow it are single bytes that no
// double-byte character contains, so the replacement can be read byte-wise.
template <typename Char, typename SpanOf>
class Replacer {
public:
    using View = std::basic_string_view<Char>;

    Replacer(View text, std::size_t group_count, SpanOf span_of)
        : text_(text), group_count_(group_count), span_of_(span_of) {}

    // One replacement for match `match`: "$$" "$&" "$`" "$'" "$n" "$nn"; any
    // other "$" stays as written. "$nn" is taken only when group nn exists.
    void expand(std::size_t match, View replacement, std::basic_string<Char>* out) const {
        const MatchSpan whole = span_of_(match, 0);
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            const Char c = replacement[i];
            if (c != Char{'$'} || i + 1 >= replacement.size()) {
                out->push_back(c);
                continue;
            }
            const Char next = replacement[i + 1];
            if (next == Char{'$'}) {
                out->push_back(Char{'$'});
            } else if (next == Char{'&'}) {
                out->append(value(match, 0));
            } else if (next == Char{'`'}) {
                out->append(text_.substr(0, whole.start));
            } else if (next == Char{'\''}) {
                out->append(text_.substr(whole.end()));
            } else if (is_digit(next)) {
                const std::size_t one = static_cast<std::size_t>(next - Char{'0'});
                if (i + 2 < replacement.size() && is_digit(replacement[i + 2])) {
                    const std::size_t two =
                        one * 10 + static_cast<std::size_t>(replacement[i + 2] - Char{'0'});
                    if (two >= 1 && two <= group_count_) {
                        out->append(value(match, two));
                        i += 2;
                        continue;
                    }
                }
                if (one < 1 || one > group_count_) {
                    out->push_back(Char{'$'});
                    continue;
                }
                out->append(value(match, one));
            } else {
                out->push_back(Char{'$'});
                continue;
            }
            ++i;
        }
    }

    std::basic_string<Char> replace_all(std::size_t match_count, View replacement) const {
        std::basic_string<Char> out;
        out.reserve(text_.size());
        std::size_t copied = 0;
        for (std::size_t match = 0; match < match_count; ++match) {
            const MatchSpan whole = span_of_(match, 0);
            out.append(text_.substr(copied, whole.start - copied));
            expand(match, replacement, &out);
            copied = whole.end();
        }
        out.append(text_.substr(copied));
        return out;
    }

private:
    // "" for a group that took no part.
    View value(std::size_t match, std::size_t group) const {
        const MatchSpan found = span_of_(match, group);
        return found.is_set() ? text_.substr(found.start, found.length) : View{};
    }

    View text_;
    std::size_t group_count_;
    SpanOf span_of_;
};

template <typename Char, typename SpanOf>
Replacer<Char, SpanOf> make_replacer(std::basic_string_view<Char> text, std::size_t group_count,
                                     SpanOf span_of) {
    return Replacer<Char, SpanOf>(text, group_count, span_of);
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
    const auto replacer = make_replacer(
        std::u16string_view(matches.subject()), matches.group_count(),
        [&matches](std::size_t match, std::size_t group) { return matches.span(match, group); });
    return replacer.replace_all(matches.size(), replacement);
}

std::string replace_matches_in_source(const MatchCollection& matches, std::string_view source,
                                      std::string_view replacement) {
    const auto replacer = make_replacer(source, matches.group_count(),
                                        [&matches](std::size_t match, std::size_t group) {
                                            return matches.source_span(match, group);
                                        });
    return replacer.replace_all(matches.size(), replacement);
}

}  // namespace novel
