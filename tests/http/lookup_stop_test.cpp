// A stop ends an exchange at once even while the system is still looking up
// the host's name on a name server that never answers.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "http/concurrent_requests.h"
#include "http/http_request.h"
#include "tests/support/silent_resolver.h"
#include "tests/support/site_server.h"

namespace novel {
namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class QuietNameServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
        ASSERT_TRUE(resolver_.ready());
    }
    testing::SilentResolver resolver_;
};

TEST_F(QuietNameServer, AStopEndsTheRequestRoutineWithinASecond) {
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop.request_stop();
    });
    TransportError error = TransportError::none;
    const auto started = Clock::now();
    const ByteData body = http_request("https://name.never.answers.example/1.html",
                                       {.stop = stop.get_token(), .transport_error = &error});
    const auto took = Clock::now() - started;
    stopper.join();
    EXPECT_TRUE(body.empty());
    EXPECT_EQ(error, TransportError::stopped);
    EXPECT_LT(took, 1300ms) << "the lookup's own time-outs are not waited for";
}

TEST_F(QuietNameServer, AbandoningConcurrentRequestsDoesNotWaitForTheirLookups) {
    const auto started = Clock::now();
    {
        ConcurrentRequests requests;
        for (int n = 0; n < 3; ++n) {
            [[maybe_unused]] const auto id =
                requests.start("https://lookup" + std::to_string(n) + ".never.answers.example/");
        }
        std::stop_source stop;
        std::thread stopper([&] {
            std::this_thread::sleep_for(300ms);
            stop.request_stop();
        });
        EXPECT_TRUE(requests.wait(stop.get_token()).empty());
        stopper.join();
    }  // abandoned here, lookups still running
    EXPECT_LT(Clock::now() - started, 1300ms);
}

}  // namespace
}  // namespace novel
