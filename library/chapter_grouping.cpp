#include "library/chapter_grouping.h"

#include <array>
#include <charconv>

namespace novel {
namespace {

constexpr std::array<std::string_view, 2> kOpenings = {"(", "\xEF\xBC\x88"};  // ( （
constexpr std::array<std::string_view, 2> kClosings = {")", "\xEF\xBC\x89"};  // ) ）
constexpr std::array<std::string_view, 2> kSlashes = {"/", "\xEF\xBC\x8F"};   // / ／
constexpr std::array<std::string_view, 2> kSpaces = {" ", "\xE3\x80\x80"};    // space, ideographic

// Removes one of the choices from the end of text.
template <std::size_t N>
bool drop_suffix(std::string_view* text, const std::array<std::string_view, N>& choices) {
    for (std::string_view choice : choices) {
        if (text->ends_with(choice)) {
            text->remove_suffix(choice.size());
            return true;
        }
    }
    return false;
}

// Removes the digits, ASCII or full-width (U+FF10 to U+FF19), at the end of text.
bool drop_digits(std::string_view* text) {
    bool any = false;
    for (;;) {
        if (!text->empty() && text->back() >= '0' && text->back() <= '9') {
            text->remove_suffix(1);
        } else if (text->size() >= 3 && text->substr(text->size() - 3, 2) == "\xEF\xBC" &&
                   static_cast<unsigned char>(text->back()) >= 0x90 &&
                   static_cast<unsigned char>(text->back()) <= 0x99) {
            text->remove_suffix(3);
        } else {
            return any;
        }
        any = true;
    }
}

}  // namespace

ChapterKey parse_chapter_key(std::string_view key) {
    const std::size_t mark = key.rfind('_');
    if (mark == std::string_view::npos || mark == 0 || mark + 1 == key.size()) return {key, 1};
    int page = 0;
    const std::string_view digits = key.substr(mark + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), page);
    if (error != std::errc() || end != digits.data() + digits.size() || page < 2) return {key, 1};
    return {key.substr(0, mark), page};
}

bool continues_chapter(std::string_view chapter_of_previous, std::string_view key) {
    const ChapterKey parsed = parse_chapter_key(key);
    return parsed.page > 1 && parsed.chapter == chapter_of_previous;
}

std::string strip_page_suffix(std::string_view utf8_title) {
    std::string_view rest = utf8_title;
    while (drop_suffix(&rest, kSpaces)) {
    }
    if (!drop_suffix(&rest, kClosings) || !drop_digits(&rest)) return std::string(utf8_title);
    if (drop_suffix(&rest, kSlashes) && !drop_digits(&rest)) return std::string(utf8_title);
    if (!drop_suffix(&rest, kOpenings)) return std::string(utf8_title);
    while (drop_suffix(&rest, kSpaces)) {
    }
    if (rest.empty()) return std::string(utf8_title);
    return std::string(rest);
}

}  // namespace novel
