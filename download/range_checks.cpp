#include "download/range_checks.h"

#include <algorithm>
#include <string_view>

namespace novel {
namespace {

bool digits_only(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

// Compares digit strings of any length, leading zeros aside.
bool greater_number(std::string_view a, std::string_view b) {
    const auto strip = [](std::string_view text) {
        while (text.size() > 1 && text.front() == '0') text.remove_prefix(1);
        return text;
    };
    a = strip(a);
    b = strip(b);
    return a.size() != b.size() ? a.size() > b.size() : a > b;
}

}  // namespace

std::vector<RangeDoubt> range_doubts(const RangeRequest& request) {
    std::vector<RangeDoubt> doubts;
    if (request.book.empty()) doubts.push_back(RangeDoubt::book_empty);
    if (request.start.empty()) {
        doubts.push_back(RangeDoubt::start_empty);
    } else if (!digits_only(request.start)) {
        doubts.push_back(RangeDoubt::start_not_number);
    }
    if (request.end.empty()) {
        doubts.push_back(RangeDoubt::end_empty);
    } else if (!digits_only(request.end)) {
        doubts.push_back(RangeDoubt::end_not_number);
    }
    if (digits_only(request.start) && digits_only(request.end) &&
        greater_number(request.start, request.end)) {
        doubts.push_back(RangeDoubt::start_after_end);
    }
    return doubts;
}

}  // namespace novel
