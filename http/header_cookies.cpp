#include "http/header_cookies.h"

#include "text/text_operations.h"

namespace novel {
namespace {

constexpr std::string_view kDeletedEnding = "=deleted";
constexpr std::string_view kCookieJoin = "; ";

// An empty cookie text holds no cookies. Splitting it would give one empty
// piece, and merging "a=1" with a response that set nothing would turn it
// into "; a=1". Empty pieces inside a text stay as they are.
TextList cookie_pieces(std::string_view cookies) {
    return cookies.empty() ? TextList() : split_text(cookies, ";");
}

}  // namespace

std::string header_name(std::string_view line) {
    const int colon = find_text(line, ":");
    return trim_text(colon != kNotFound ? left_text(line, colon - 1) : std::string());
}

std::string header_value(std::string_view line) {
    const int colon = find_text(line, ":");
    return trim_text(colon != kNotFound ? right_text(line, text_length(line) - colon)
                                        : std::string());
}

std::string cookie_name(std::string_view piece) {
    const int equals = find_text(piece, "=");
    return trim_text(equals != kNotFound ? left_text(piece, equals - 1) : std::string(piece));
}

bool cookie_name_in_list(const TextList& list, std::string_view name) {
    for (const std::string& element : list) {
        if (cookie_name(element) == name) return true;
    }
    return false;
}

int index_in_list(const TextList& list, std::string_view item) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == item) return static_cast<int>(i) + 1;
    }
    return kNotFound;
}

std::string remove_duplicate_parts(std::string_view text, std::string_view separator) {
    TextList seen;
    std::string result;
    for (std::string& piece : split_text(text, separator)) {
        if (index_in_list(seen, piece) != kNotFound) continue;
        result += piece;
        result += separator;
        seen.push_back(std::move(piece));
    }
    return left_text(result, text_length(result) - text_length(separator));
}

std::string merge_cookies(std::string& cookies, std::string& new_cookies) {
    cookies = remove_spaces(cookies);
    new_cookies = remove_spaces(new_cookies);

    TextList merged = cookie_pieces(new_cookies);
    for (std::string& piece : cookie_pieces(cookies)) {
        // merged grows here, so of several old pieces with one name the first wins.
        if (!cookie_name_in_list(merged, cookie_name(piece))) merged.push_back(std::move(piece));
    }

    cookies.clear();
    for (const std::string& piece : merged) {
        if (right_text(piece, text_length(kDeletedEnding)) == kDeletedEnding) continue;
        cookies += piece;
        cookies += kCookieJoin;
    }
    cookies = left_text(cookies, text_length(cookies) - text_length(kCookieJoin));
    cookies = remove_duplicate_parts(cookies, kCookieJoin);
    return cookies;
}

std::optional<std::string> header_in(std::string_view headers, std::string_view name) {
    while (!headers.empty()) {
        const std::size_t end = headers.find("\r\n");
        const std::string_view line = headers.substr(0, end);
        headers.remove_prefix(end == std::string_view::npos ? headers.size() : end + 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            equals_ignoring_case(trim_text(line.substr(0, colon)), name)) {
            return trim_text(line.substr(colon + 1));
        }
    }
    return std::nullopt;
}

}  // namespace novel
