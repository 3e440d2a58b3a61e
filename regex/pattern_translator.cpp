#include "regex/pattern_translator.h"

#include <cstdint>
#include <string>

namespace novel {
namespace {

constexpr std::uint32_t kMaxRepeat = 65535;
constexpr std::u16string_view kPcreOnlyEscapes = u"ACEGHKNPQRVXZghkopz";

bool is_digit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool is_octal(char16_t c) { return c >= u'0' && c <= u'7'; }
bool is_ascii_letter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

int hex_value(char16_t c) {
    if (is_digit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

void append_hex(std::u16string* out, std::uint32_t value) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    out->append(u"\\x{");
    char16_t buffer[8];
    int size = 0;
    do {
        buffer[size++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (size > 0) out->push_back(buffer[--size]);
    out->push_back(u'}');
}

void append_number(std::u16string* out, std::uint32_t value) {
    char16_t buffer[10];
    int size = 0;
    do {
        buffer[size++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (size > 0) out->push_back(buffer[--size]);
}

// Capturing groups of the whole pattern: a back-reference may point forward,
// and whether "\12" is a back-reference depends on this count.
int count_groups(std::u16string_view pattern) {
    int groups = 0;
    bool in_class = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        if (c == u'\\') {
            ++i;
        } else if (in_class) {
            if (c == u']') in_class = false;
        } else if (c == u'[') {
            std::size_t next = i + 1;
            if (next < pattern.size() && pattern[next] == u'^') ++next;
            if (next < pattern.size() && pattern[next] == u']') {
                i = next;  // "[]" and "[^]" end where they begin
            } else {
                in_class = true;
                i = next - 1;
            }
        } else if (c == u'(' && (i + 1 >= pattern.size() || pattern[i + 1] != u'?')) {
            ++groups;
        }
    }
    return groups;
}

// A class member: one code unit, or a class escape such as \d written out for PCRE2.
struct ClassAtom {
    char16_t unit = 0;
    std::u16string_view escape;
};

class Translator {
public:
    Translator(std::u16string_view pattern, bool multiline)
        : in_(pattern), multiline_(multiline), groups_(count_groups(pattern)) {}

    std::optional<TranslatedPattern> run() {
        if (!disjunction(0) || !at_end()) return std::nullopt;
        return TranslatedPattern{.pcre2_pattern = std::move(out_), .group_count = groups_};
    }

private:
    bool at_end() const { return pos_ >= in_.size(); }
    char16_t peek(std::size_t ahead = 0) const {
        return pos_ + ahead < in_.size() ? in_[pos_ + ahead] : char16_t{0};
    }
    bool has(std::size_t ahead) const { return pos_ + ahead < in_.size(); }

    bool disjunction(int depth) {
        if (depth > kMaxPatternNesting) return false;
        for (;;) {
            while (!at_end() && peek() != u'|' && peek() != u')') {
                if (!term(depth)) return false;
            }
            if (at_end() || peek() == u')') return true;
            out_.push_back(u'|');
            ++pos_;
        }
    }

    bool term(int depth) {
        const std::size_t atom_start = out_.size();
        bool back_reference = false;
        const char16_t c = peek();
        switch (c) {
            case u'^':
                ++pos_;
                out_.append(multiline_ ? u"(?<![^\\x{a}\\x{d}])" : u"^");
                return true;  // an assertion takes no quantifier; the next term rejects one
            case u'$':
                ++pos_;
                out_.append(multiline_ ? u"(?![^\\x{a}\\x{d}])" : u"$");
                return true;
            case u'*':
            case u'+':
            case u'?':
                return false;  // nothing to repeat
            case u'(':
                if (!group(depth)) return false;
                break;
            case u'[':
                if (!character_class()) return false;
                break;
            case u'.':
                ++pos_;
                out_.append(u"[^\\x{a}]");
                break;
            case u'\\':
                if (peek(1) == u'b' || peek(1) == u'B') {
                    out_.append(peek(1) == u'b' ? u"\\b" : u"\\B");
                    pos_ += 2;
                    return true;
                }
                if (!atom_escape(&back_reference)) return false;
                break;
            case u'{': {
                std::size_t end;
                std::u16string repeat;
                if (braced_quantifier(&end, &repeat)) return false;  // nothing to repeat
                ++pos_;
                literal(c);
                break;
            }
            default:
                ++pos_;
                literal(c);  // "]" and "}" stand for themselves
                break;
        }
        return quantifier(atom_start, back_reference);
    }

    // The repeat after the atom whose output begins at atom_start.
    bool quantifier(std::size_t atom_start, bool back_reference) {
        const char16_t c = peek();
        std::u16string repeat;
        if (c == u'*' || c == u'+' || c == u'?') {
            repeat.push_back(c);
            ++pos_;
        } else if (c == u'{') {
            std::size_t end;
            if (!braced_quantifier(&end, &repeat)) return true;  // a literal "{" follows
            if (repeat.empty()) return false;                    // out of order or too large
            pos_ = end;
        } else {
            return true;
        }
        if (repeat == u"{0,0}") {
            // PCRE2 10.42 derives required characters from a group repeated zero
            // times when one of its branches begins with a lookahead. An optional
            // group that can never match is the same empty match, numbers kept.
            out_.insert(atom_start, u"(?:(?!)");
            out_.append(u")?");
        } else {
            // PCRE2 10.42's JIT fails a repeated back-reference to a group that
            // took no part; as a group of its own it matches empty, as it should.
            if (back_reference) {
                out_.insert(atom_start, u"(?:");
                out_.push_back(u')');
            }
            out_.append(repeat);
        }
        if (peek() == u'?') {
            out_.push_back(u'?');
            ++pos_;
        }
        return true;
    }

    // True when "{" at pos_ opens a counted repeat; *repeat is its PCRE2
    // spelling, empty when the counts are out of order or too large.
    bool braced_quantifier(std::size_t* end, std::u16string* repeat) const {
        std::size_t i = pos_ + 1;
        std::uint32_t low = 0;
        std::uint32_t high = 0;
        bool too_large = false;
        auto number = [&](std::uint32_t* value) {
            const std::size_t first = i;
            while (i < in_.size() && is_digit(in_[i])) {
                *value = *value * 10 + (in_[i] - u'0');
                if (*value > kMaxRepeat) {
                    too_large = true;
                    *value = kMaxRepeat + 1;
                }
                ++i;
            }
            return i > first;
        };
        if (!number(&low)) return false;
        bool bounded = true;
        if (i < in_.size() && in_[i] == u',') {
            ++i;
            bounded = number(&high);
        } else {
            high = low;
        }
        if (i >= in_.size() || in_[i] != u'}') return false;
        *end = i + 1;
        repeat->clear();
        if (too_large || (bounded && high < low)) return true;
        repeat->push_back(u'{');
        append_number(repeat, low);
        repeat->push_back(u',');
        if (bounded) append_number(repeat, high);
        repeat->push_back(u'}');
        return true;
    }

    bool group(int depth) {
        ++pos_;
        if (peek() == u'?') {
            const char16_t kind = peek(1);
            if (kind != u':' && kind != u'=' && kind != u'!') return false;
            out_.append(u"(?");
            out_.push_back(kind);
            pos_ += 2;
        } else {
            out_.push_back(u'(');
        }
        if (!disjunction(depth + 1) || peek() != u')' || at_end()) return false;
        ++pos_;
        out_.push_back(u')');
        return true;
    }

    // *back_reference is set when the escape is one.
    bool atom_escape(bool* back_reference) {
        ++pos_;  // the backslash
        if (at_end()) return false;
        const char16_t c = peek();
        if (is_digit(c) && c != u'0') {
            std::size_t i = pos_;
            std::uint32_t number = 0;
            while (i < in_.size() && is_digit(in_[i]) && number <= 1000) {
                number = number * 10 + (in_[i] - u'0');
                ++i;
            }
            if (number <= static_cast<std::uint32_t>(groups_)) {
                out_.append(u"\\g{");
                append_number(&out_, number);
                out_.push_back(u'}');
                pos_ = i;
                *back_reference = true;
                return true;
            }
        }
        std::u16string_view class_escape;
        char16_t unit = 0;
        if (!character_escape(&unit, &class_escape)) return false;
        if (!class_escape.empty()) {
            out_.push_back(u'\\');
            out_.append(class_escape);
        } else {
            literal(unit);
        }
        return true;
    }

    // The escape after a backslash (pos_ is past it), back-references aside.
    // Sets *class_escape for \d \D \w \W \s \S, otherwise *unit.
    bool character_escape(char16_t* unit, std::u16string_view* class_escape) {
        const char16_t c = peek();
        ++pos_;
        constexpr std::u16string_view kClassEscapes = u"dDwWsS";
        if (const std::size_t at = kClassEscapes.find(c); at != std::u16string_view::npos) {
            *class_escape = kClassEscapes.substr(at, 1);
            return true;
        }
        // \b is a backspace here: as a word boundary it never gets this far.
        constexpr std::u16string_view kControlLetters = u"fnrtvb";
        constexpr std::u16string_view kControlUnits = u"\f\n\r\t\v\b";
        if (const std::size_t at = kControlLetters.find(c); at != std::u16string_view::npos) {
            *unit = kControlUnits[at];
            return true;
        }
        switch (c) {
            case u'c':
                if (is_ascii_letter(peek())) {
                    *unit = static_cast<char16_t>(peek() % 32);
                    ++pos_;
                } else {
                    *unit = u'\\';  // "\c" without a letter is a backslash and a "c"
                    --pos_;
                }
                return true;
            case u'x':
                return hex_escape(2, u'x', unit);
            case u'u':
                return hex_escape(4, u'u', unit);
            default:
                break;
        }
        if (is_octal(c)) {
            std::uint32_t value = c - u'0';
            const int more = c <= u'3' ? 2 : 1;
            for (int i = 0; i < more && is_octal(peek()); ++i, ++pos_) {
                value = value * 8 + (peek() - u'0');
            }
            *unit = static_cast<char16_t>(value);
            return true;
        }
        if (kPcreOnlyEscapes.find(c) != std::u16string_view::npos) return false;
        *unit = c;  // any other escaped character is itself
        return true;
    }

    bool hex_escape(int digits, char16_t letter, char16_t* unit) {
        std::uint32_t value = 0;
        for (int i = 0; i < digits; ++i) {
            const int digit = hex_value(peek(static_cast<std::size_t>(i)));
            if (digit < 0) {
                *unit = letter;  // too few hex digits: the letter itself
                return true;
            }
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        pos_ += static_cast<std::size_t>(digits);
        *unit = static_cast<char16_t>(value);
        return true;
    }

    bool class_atom(ClassAtom* atom) {
        const char16_t c = peek();
        ++pos_;
        if (c != u'\\') {
            atom->unit = c;
            return true;
        }
        if (at_end()) return false;
        return character_escape(&atom->unit, &atom->escape);
    }

    void class_member(const ClassAtom& atom) {
        if (!atom.escape.empty()) {
            out_.push_back(u'\\');
            out_.append(atom.escape);
        } else {
            append_hex(&out_, atom.unit);
        }
    }

    bool character_class() {
        ++pos_;
        const bool negated = peek() == u'^' && has(0);
        if (negated) ++pos_;
        if (peek() == u']' && has(0)) {
            ++pos_;
            out_.append(negated ? u"[\\x{0}-\\x{ffff}]" : u"(?!)");
            return true;
        }
        out_.append(negated ? u"[^" : u"[");
        for (;;) {
            if (at_end()) return false;
            if (peek() == u']') break;
            ClassAtom first;
            if (!class_atom(&first)) return false;
            if (peek() == u'-' && has(1) && peek(1) != u']') {
                ++pos_;
                ClassAtom last;
                if (!class_atom(&last)) return false;
                if (!first.escape.empty() || !last.escape.empty()) {
                    class_member(first);  // a class escape cannot bound a range: "-" is literal
                    append_hex(&out_, u'-');
                    class_member(last);
                    continue;
                }
                if (last.unit < first.unit) return false;
                append_hex(&out_, first.unit);
                out_.push_back(u'-');
                append_hex(&out_, last.unit);
                continue;
            }
            class_member(first);
        }
        ++pos_;
        out_.push_back(u']');
        return true;
    }

    void literal(char16_t c) {
        if (c < 0x80 && (is_ascii_letter(c) || is_digit(c))) {
            out_.push_back(c);
        } else {
            append_hex(&out_, c);
        }
    }

    std::u16string_view in_;
    std::size_t pos_ = 0;
    bool multiline_;
    int groups_;
    std::u16string out_;
};

}  // namespace

std::optional<TranslatedPattern> translate_pattern(std::u16string_view pattern, bool multiline) {
    return Translator(pattern, multiline).run();
}

}  // namespace novel
