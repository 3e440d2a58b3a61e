// Downloads chains from a loopback site, one page at a time and with 4 or 8
// fetched ahead: 300 pages at 20 ms an answer, of consecutive chapters on
// two pages each and of addresses that follow no pattern; a short book of
// 46 pages (23 chapters on two pages) at 40 ms; and 12 chapters from a busy
// site whose pages take 300 ms while a missing page's 404 comes at once.
// Prints the time, the pages per second, the requests the site saw and how
// many of them were wasted. Runs inside the site namespace
// (scripts/bench.sh starts it there), where the site's host name is this
// machine.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "download/fetch_ahead.h"
#include "download/range_download.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

namespace {

using novel::fixture::FixturePage;
constexpr int kPages = 300;
constexpr auto kDelay = std::chrono::milliseconds(20);

// Chapters 1 to 150 of book 500, each on two pages.
std::vector<FixturePage> guessable_chain() {
    std::vector<int> all(kPages / 2);
    for (int chapter = 1; chapter <= kPages / 2; ++chapter) all[chapter - 1] = chapter;
    return novel::fixture::generate_book(
        {.book = "500", .chapter_count = kPages / 2, .two_page_chapters = all});
}

// Book 600: chapter numbers that grow by random steps, so no guess holds.
std::vector<FixturePage> unguessable_chain() {
    std::mt19937 random(600);
    std::uniform_int_distribution<int> step(2, 40);
    std::vector<int> numbers{100};
    while (numbers.size() < kPages + 1) numbers.push_back(numbers.back() + step(random));
    std::vector<FixturePage> pages;
    for (int index = 0; index < kPages; ++index) {
        const std::string path = "/600/" + std::to_string(numbers[index]) + ".html";
        const std::string next = "/600/" + std::to_string(numbers[index + 1]) + ".html";
        pages.push_back(novel::fixture::sized_page(path, next, 6000));
        pages.back().path = path;
    }
    return pages;
}

std::string number_of(const std::string& path) {
    return path.substr(path.rfind('/') + 1, path.size() - path.rfind('/') - 1 - 5);
}

// Book 7_7001, chapters 880001 to 880023, each on two pages.
std::vector<FixturePage> short_split_book() {
    std::vector<int> all;
    for (int chapter = 880001; chapter <= 880023; ++chapter) all.push_back(chapter);
    return novel::fixture::generate_book(
        {.book = "7_7001", .first_chapter = 880001, .chapter_count = 23, .two_page_chapters = all});
}

// Book 7_7003, chapters 880001 to 880012 on one page each.
std::vector<FixturePage> busy_site_book() {
    return novel::fixture::generate_book(
        {.book = "7_7003", .first_chapter = 880001, .chapter_count = 12});
}

using Answers = std::function<novel::fixture::SiteAnswer(const std::string&)>;

Answers every_answer_after(std::chrono::milliseconds delay) {
    return [delay](const std::string&) { return novel::fixture::SiteAnswer{.delay = delay}; };
}

void run_chain(benchmark::State& state, const std::vector<FixturePage>& chain, const char* book,
               Answers answers = every_answer_after(kDelay)) {
    const int window = static_cast<int>(state.range(0));
    novel::fixture::FixtureSiteServer server(
        novel::fixture::as_site(chain),
        {.port = 443, .keep_alive = true, .answer = std::move(answers)});
    if (!server.listening()) {
        state.SkipWithError("no site on port 443: run inside tests/support/in_site_namespace.sh");
        return;
    }
    const std::string output = std::filesystem::temp_directory_path() / "bench_fetch_ahead.txt";
    novel::FetchAhead::Figures figures;
    std::size_t pages = 0;
    std::size_t seen_by_site = 0;
    for (auto _ : state) {
        server.clear_requests();
        novel::FetchAhead source(window);
        const novel::RangeResult result =
            novel::download_range({.book = book,
                                   .start = number_of(chain.front().path),
                                   .end = number_of(chain.back().path)},
                                  source, {.output_path = output}, {}, {});
        if (result.end != novel::RangeEnd::reached_end)
            state.SkipWithError("the run did not reach its end");
        pages += result.pages;
        figures = source.figures();
        state.PauseTiming();
        // Guesses still on their way when the run ended reach the site too.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        seen_by_site = server.requested_targets().size();
        state.ResumeTiming();
    }
    std::filesystem::remove(output);
    state.counters["pages_per_s"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
    state.counters["requests"] = static_cast<double>(seen_by_site);
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["wasted"] = static_cast<double>(figures.wasted);
    state.counters["most_in_flight"] = static_cast<double>(figures.most_in_flight);
}

void BM_GuessableChain(benchmark::State& state) { run_chain(state, guessable_chain(), "500"); }
void BM_UnguessableChain(benchmark::State& state) { run_chain(state, unguessable_chain(), "600"); }
void BM_ShortSplitBook(benchmark::State& state) {
    run_chain(state, short_split_book(), "7_7001",
              every_answer_after(std::chrono::milliseconds(40)));
}
void BM_BusySiteInstantMisses(benchmark::State& state) {
    const std::vector<FixturePage> book = busy_site_book();
    run_chain(state, book, "7_7003",
              novel::fixture::slow_pages_instant_misses(novel::fixture::as_site(book),
                                                        std::chrono::milliseconds(300)));
}

BENCHMARK(BM_GuessableChain)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnguessableChain)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(4)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShortSplitBook)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BusySiteInstantMisses)
    ->ArgName("window")
    ->Arg(1)
    ->Arg(4)
    ->Arg(8)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
