#include "download/retry_policy.h"

#include <gtest/gtest.h>

namespace novel {
namespace {
using namespace std::chrono_literals;

TEST(ClassifyAnswer, RetriesOnlyWhatMayHeal) {
    EXPECT_EQ(classify_answer(TransportError::none, 200, true), AnswerKind::page);
    for (const TransportError error :
         {TransportError::name_not_resolved, TransportError::cannot_connect,
          TransportError::timed_out, TransportError::connection_reset}) {
        EXPECT_EQ(classify_answer(error, 0, false), AnswerKind::transient);
    }
    for (const int status : {408, 429, 500, 502, 503, 504}) {
        EXPECT_EQ(classify_answer(TransportError::none, status, true), AnswerKind::transient)
            << status;
    }
    for (const int status : {400, 403, 404, 410, 501, 301}) {
        EXPECT_EQ(classify_answer(TransportError::none, status, true), AnswerKind::failed)
            << status;
    }
    // The site's rate-limit page comes with 200 and no chapter: it is waited out.
    EXPECT_EQ(classify_answer(TransportError::none, 200, false), AnswerKind::transient);
    EXPECT_EQ(classify_answer(TransportError::other, 0, false), AnswerKind::failed);
    EXPECT_EQ(classify_answer(TransportError::stopped, 0, false), AnswerKind::stopped);
}

TEST(RetryWait, GrowsFromOneSecondWithJitterUpToItsCap) {
    const RetryPolicy policy;
    EXPECT_EQ(retry_wait(policy, 1, 0.0, std::nullopt), 1000ms);
    EXPECT_EQ(retry_wait(policy, 2, 0.0, std::nullopt), 2000ms);
    EXPECT_EQ(retry_wait(policy, 5, 0.0, std::nullopt), 16000ms);
    EXPECT_EQ(retry_wait(policy, 1, 0.999, std::nullopt), 1249ms);
    EXPECT_EQ(retry_wait(policy, 6, 0.999, std::nullopt), 30000ms);
    EXPECT_EQ(retry_wait(policy, 40, 0.5, std::nullopt), 30000ms);
    // The server's own wait counts instead, up to two minutes.
    EXPECT_EQ(retry_wait(policy, 1, 0.9, 7000ms), 7000ms);
    EXPECT_EQ(retry_wait(policy, 1, 0.9, 3600000ms), 120000ms);
}

TEST(ParseRetryAfter, ReadsSecondsAndEveryHttpDateForm) {
    // Sun, 06 Nov 1994 08:49:37 GMT is 784111777 seconds after the epoch.
    const auto now = std::chrono::system_clock::time_point(784111770s);
    EXPECT_EQ(parse_retry_after("120", now), 120000ms);
    EXPECT_EQ(parse_retry_after(" 0 ", now), 0ms);
    EXPECT_EQ(parse_retry_after("Sun, 06 Nov 1994 08:49:37 GMT", now), 7000ms);
    EXPECT_EQ(parse_retry_after("Sunday, 06-Nov-94 08:49:37 GMT", now), 7000ms);
    EXPECT_EQ(parse_retry_after("Sun Nov  6 08:49:37 1994", now), 7000ms);
    EXPECT_EQ(parse_retry_after("Sun, 06 Nov 1994 08:49:00 GMT", now), 0ms) << "a date gone by";
    EXPECT_EQ(parse_retry_after("99999999999999999999999", now), Milliseconds::max());
    // Far beyond what the clock's nanoseconds hold: a long wait, capped by the policy.
    for (const char* far : {"Fri, 01 Jan 2300 00:00:00 GMT", "Fri, 31 Dec 9999 23:59:59 GMT"}) {
        const std::optional<Milliseconds> wait = parse_retry_after(far, now);
        ASSERT_TRUE(wait.has_value()) << far;
        EXPECT_GT(*wait, Milliseconds(3600LL * 24 * 365 * 1000 * 200)) << far;
        EXPECT_EQ(retry_wait(RetryPolicy{}, 1, 0.0, wait), 120000ms) << far;
    }
    for (const char* unreadable : {"", "soon", "-5", "1.5", "Sun, 32 Nov 1994 08:49:37 GMT"}) {
        EXPECT_EQ(parse_retry_after(unreadable, now), std::nullopt) << unreadable;
    }
}

}  // namespace
}  // namespace novel
