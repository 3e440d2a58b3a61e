// 200 sequential GETs of a 30 KB page from a loopback HTTPS server through
// http_request: once over the shared connection pool, once with a new
// connection (TCP and TLS handshake) per request.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "http/http_request.h"
#include "http/request_object.h"
#include "tests/support/recording_server.h"

namespace {

using novel::testing::RecordingServer;
using novel::testing::ScriptedReply;

constexpr int kRequests = 200;
constexpr std::size_t kPageSize = 30 * 1024;

RecordingServer& page_server() {
    static RecordingServer server(RecordingServer::Scheme::kHttps);
    static const bool scripted = [] {
        server.set_script([](const novel::testing::RecordedRequest&) {
            return ScriptedReply{.headers = {{"Content-Type", "text/html"}},
                                 .body = std::string(kPageSize, 'p')};
        });
        return true;
    }();
    (void)scripted;
    return server;
}

double rate_shared = 0;
double rate_fresh = 0;

void run(benchmark::State& state, bool fresh, double& rate) {
    RecordingServer& server = page_server();
    const std::string url = server.url("/1/2.html");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRequests; ++i) {
            novel::ByteData body;
            if (fresh) {
                novel::HttpRequestObject object;
                object.set_fresh_connection_per_request(true);
                body = novel::http_request(url, {.request_object = &object});
            } else {
                body = novel::http_request(url);
            }
            if (body.size() != kPageSize) state.SkipWithError("a request failed");
            benchmark::DoNotOptimize(body);
        }
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        rate = kRequests / seconds.count();
    }
    state.counters["requests_per_second"] =
        benchmark::Counter(kRequests, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SharedConnectionPool(benchmark::State& state) { run(state, false, rate_shared); }
void BM_FreshConnectionPerRequest(benchmark::State& state) { run(state, true, rate_fresh); }

BENCHMARK(BM_SharedConnectionPool)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FreshConnectionPerRequest)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (rate_shared > 0 && rate_fresh > 0) {
        std::printf(
            "shared pool: %.0f requests/s, fresh connections: %.0f requests/s, "
            "reuse %.1f times faster\n",
            rate_shared, rate_fresh, rate_shared / rate_fresh);
    }
    return 0;
}
