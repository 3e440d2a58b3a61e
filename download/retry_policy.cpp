#include "download/retry_policy.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "text/text_operations.h"

namespace novel {
namespace {

bool is_retried_status(std::int32_t status) {
    switch (status) {
        case 408:
        case 429:
        case 500:
        case 502:
        case 503:
        case 504:
            return true;
        default:
            return false;
    }
}

// Days since 1970-01-01 of a proleptic Gregorian date (no time zone involved).
long long days_from_civil(long long year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const auto year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<long long>(day_of_era) - 719468;
}

bool parse_number(std::string_view text, int* number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *number);
    return error == std::errc() && end == text.data() + text.size();
}

// The three forms an HTTP date may take ("Sun, 06 Nov 1994 08:49:37 GMT",
// "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"), read by
// hand: the C library's date parsing follows the user's locale.
// Seconds since the epoch, kept in seconds: a date past 2262 does not fit
// the clock's nanoseconds.
std::optional<long long> parse_http_date(std::string_view value) {
    static constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    int day = -1, month = -1, year = -1, hour = -1, minute = -1, second = -1;
    while (!value.empty()) {
        const std::size_t end = value.find_first_of(" ,-");
        const std::string_view token = value.substr(0, end);
        value.remove_prefix(end == std::string_view::npos ? value.size() : end + 1);
        if (token.empty() || equals_ignoring_case(token, "GMT")) continue;
        if (token.find(':') != std::string_view::npos) {
            if (token.size() != 8 || !parse_number(token.substr(0, 2), &hour) ||
                !parse_number(token.substr(3, 2), &minute) ||
                !parse_number(token.substr(6, 2), &second)) {
                return std::nullopt;
            }
            continue;
        }
        int number = 0;
        if (parse_number(token, &number)) {
            if (day < 0 && token.size() <= 2 && year < 0 && hour < 0) {
                day = number;
            } else if (token.size() == 4) {
                year = number;
            } else if (token.size() == 2) {
                year = number + (number >= 70 ? 1900 : 2000);  // two-digit years of old dates
            } else {
                return std::nullopt;
            }
            continue;
        }
        for (int index = 0; index < 12; ++index) {
            if (equals_ignoring_case(token, kMonths[index])) month = index + 1;
        }
    }
    if (day < 1 || day > 31 || month < 1 || year < 1970 || hour < 0 || hour > 23 || minute > 59 ||
        second > 60) {
        return std::nullopt;
    }
    const long long days =
        days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + hour * 3600LL + minute * 60LL + second;
}

}  // namespace

AnswerKind classify_answer(TransportError error, std::int32_t status, bool body_has_chapter) {
    switch (error) {
        case TransportError::none:
            break;
        case TransportError::name_not_resolved:
        case TransportError::cannot_connect:
        case TransportError::timed_out:
        case TransportError::connection_reset:
            return AnswerKind::transient;
        case TransportError::stopped:
            return AnswerKind::stopped;
        case TransportError::other:
            return AnswerKind::failed;
    }
    if (is_retried_status(status)) return AnswerKind::transient;
    if (!is_success_status(status)) return AnswerKind::failed;
    return body_has_chapter ? AnswerKind::page : AnswerKind::transient;
}

Milliseconds retry_wait(const RetryPolicy& policy, int retry, double jitter,
                        std::optional<Milliseconds> retry_after) {
    if (retry_after) return std::min(*retry_after, policy.longest_retry_after);
    const int doublings = std::clamp(retry - 1, 0, 30);
    const double base =
        static_cast<double>(policy.first_wait.count()) * static_cast<double>(1LL << doublings);
    // Up to a quarter more, so that clients that failed together do not
    // all come back at the same moment.
    const double spread = base * (1.0 + 0.25 * std::clamp(jitter, 0.0, 1.0));
    const double capped = std::min(spread, static_cast<double>(policy.longest_wait.count()));
    return Milliseconds(static_cast<long long>(capped));
}

std::optional<Milliseconds> parse_retry_after(std::string_view value,
                                              std::chrono::system_clock::time_point now) {
    const std::string trimmed_value = trim_text(value);
    value = trimmed_value;
    if (value.empty()) return std::nullopt;
    if (std::all_of(value.begin(), value.end(),
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); })) {
        long long seconds = 0;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), seconds);
        // More seconds than fit are as good as forever: the cap takes over.
        if (error == std::errc::result_out_of_range) return Milliseconds::max();
        if (error != std::errc() || end != value.data() + value.size()) return std::nullopt;
        if (seconds > Milliseconds::max().count() / 1000) return Milliseconds::max();
        return Milliseconds(seconds * 1000);
    }
    const std::optional<long long> date = parse_http_date(value);
    if (!date) return std::nullopt;
    const auto now_ms = std::chrono::duration_cast<Milliseconds>(now.time_since_epoch()).count();
    // Years up to 9999 in milliseconds fit a 64-bit count with room to spare.
    const long long wait = *date * 1000 - now_ms;
    return Milliseconds(std::max(wait, 0LL));
}

}  // namespace novel
