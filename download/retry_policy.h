#pragma once
// When a failed page request is worth asking again, and how long to wait
// first. Pure: the clock and the dice come in as arguments.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "http/transport_error.h"

namespace novel {

using Milliseconds = std::chrono::milliseconds;

struct RetryPolicy {
    int retries = 5;                           // after the first attempt
    Milliseconds first_wait{1000};             // doubled for each retry after the first
    Milliseconds longest_wait{30000};          // what doubling and jitter never exceed
    Milliseconds longest_retry_after{120000};  // a server's own Retry-After, capped
};

// How a page request ended.
enum class AnswerKind {
    page,  // a 2xx answer with a chapter in it
    // Worth another attempt: no connection, a time-out, 408, 429, 5xx of the
    // list, and a 2xx page that is empty or has no chapter in it (the site's
    // rate-limit page comes with 200).
    transient,
    failed,   // not worth another: other 4xx and the like
    stopped,  // the user stopped the run
};

// body_has_chapter: the answer is not empty and holds the content marker.
[[nodiscard]] AnswerKind classify_answer(TransportError error, std::int32_t status,
                                         bool body_has_chapter);

// The wait before retry number `retry` (1 for the first). jitter is a number
// in [0, 1) that spreads clients that failed together; retry_after is the
// server's own wait, which counts instead when it is given.
[[nodiscard]] Milliseconds retry_wait(const RetryPolicy& policy, int retry, double jitter,
                                      std::optional<Milliseconds> retry_after);

// A Retry-After value: delay seconds, or an HTTP date (IMF-fixdate, also the
// obsolete RFC 850 and asctime forms) taken against now. A date in the past
// is no wait; anything else unreadable is nullopt.
[[nodiscard]] std::optional<Milliseconds> parse_retry_after(
    std::string_view value, std::chrono::system_clock::time_point now);

}  // namespace novel
