// Downloads a long chain of fixture pages from a loopback site and prints the
// rate, the bytes written and the peak memory, next to the rate at which the
// request routine alone fetches the same pages. The site runs in a child
// process so that the figures of this process are the download's alone.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "chapter/book_info.h"
#include "chapter/site.h"
#include "download/range_download.h"
#include "http/http_request.h"
#include "library/library.h"
#include "library/page_batcher.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

namespace {

// 2,000 pages unless NOVEL_BENCH_PAGES says otherwise (20000 for the library's figure).
const int kPages = [] {
    const char* pages = std::getenv("NOVEL_BENCH_PAGES");
    return pages != nullptr && std::atoi(pages) > 0 ? std::atoi(pages) : 2000;
}();
constexpr std::size_t kPageBytes = 6 * 1024;

std::string g_origin;  // the loopback site, "https://127.0.0.1:<port>"

std::string page_path(int n) { return "/bench/" + std::to_string(n) + ".html"; }

// Bytes this process has handed to write() and friends so far.
long long written_bytes() {
    std::ifstream io("/proc/self/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "wchar:") return value;
    }
    return -1;
}

double peak_megabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_HttpRequestAlone(benchmark::State& state) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int n = 1; n <= kPages; ++n)
            bytes += novel::http_request(g_origin + page_path(n)).size();
    }
    state.counters["pages_per_s"] =
        benchmark::Counter(static_cast<double>(kPages) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["page_bytes"] =
        static_cast<double>(bytes) / kPages / static_cast<double>(state.iterations());
}

// The pages' addresses are on the site's origin; the loopback site stands in for it.
class LoopbackPages final : public novel::PageSource {
public:
    novel::PageAnswer fetch(const std::string& link, std::stop_token stop) override {
        std::string address = link;
        address.replace(0, novel::SITE_ORIGIN.size(), g_origin);
        return pages_.fetch(address, std::move(stop));
    }

private:
    novel::SerialPages pages_;
};

// With keep_pages every page written is also stored in a fresh library, as
// the windows and the tool do.
void download_range(benchmark::State& state, bool keep_pages) {
    const std::string output = std::filesystem::temp_directory_path() / "bench_download.txt";
    const std::string library_path =
        std::filesystem::temp_directory_path() / "bench_download_library.sqlite3";
    long long written = 0;
    std::size_t file_size = 0;
    std::size_t pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const char* suffix : {"", "-wal", "-shm"})
            std::filesystem::remove(library_path + suffix);
        novel::OpenResult opened;
        std::optional<novel::PageBatcher> batcher;
        novel::DownloadHooks hooks;
        if (keep_pages) {
            opened = novel::open_library(library_path);
            if (!opened.library) state.SkipWithError("no library");
            batcher.emplace(*opened.library);
            hooks.page_written = [&](const novel::WrittenPage& page) {
                const novel::BookInfo book = novel::extract_book_info(page.page, "bench");
                (void)batcher->store(
                    {.address = page.link, .chapter = page.chapter, .book = book, .fetched_at = 1});
            };
        }
        state.ResumeTiming();
        const long long before = written_bytes();
        LoopbackPages source;
        const novel::RangeResult result =
            novel::download_range({.book = "bench", .start = "1", .end = std::to_string(kPages)},
                                  source, {.output_path = output}, hooks, {});
        if (batcher) (void)batcher->flush();
        written += written_bytes() - before;
        pages += result.pages;
        file_size = std::filesystem::file_size(output);
        if (result.end != novel::RangeEnd::reached_end)
            state.SkipWithError("the run did not reach the end");
    }
    std::filesystem::remove(output);
    const auto runs = static_cast<double>(state.iterations());
    state.counters["pages_per_s"] =
        benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
    state.counters["file_bytes"] = static_cast<double>(file_size);
    // The journal's own bytes are in here too.
    state.counters["written_per_file_byte"] =
        static_cast<double>(written) / runs / static_cast<double>(file_size);
    state.counters["peak_MB"] = peak_megabytes();
    if (keep_pages) {
        state.counters["library_bytes"] =
            static_cast<double>(std::filesystem::file_size(library_path));
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(library_path + suffix);
}

void BM_DownloadRange(benchmark::State& state) { download_range(state, false); }
void BM_DownloadRangeIntoLibrary(benchmark::State& state) { download_range(state, true); }

BENCHMARK(BM_HttpRequestAlone)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_DownloadRange)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_DownloadRangeIntoLibrary)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Runs the site in a child process and hands back its port through a pipe.
pid_t start_site(int* port) {
    int channel[2];
    if (pipe(channel) != 0) return -1;
    const pid_t child = fork();
    if (child != 0) {
        close(channel[1]);
        if (read(channel[0], port, sizeof *port) != sizeof *port) *port = 0;
        close(channel[0]);
        return child;
    }
    close(channel[0]);
    novel::fixture::SitePages site;
    for (int n = 1; n <= kPages; ++n) {
        novel::fixture::FixturePage page =
            novel::fixture::sized_page(page_path(n), page_path(n + 1), kPageBytes);
        site.emplace(page_path(n), std::move(page.bytes));
    }
    novel::fixture::FixtureSiteServer server(std::move(site));
    int listening_port = server.listening() ? server.port() : 0;
    if (write(channel[1], &listening_port, sizeof listening_port) != sizeof listening_port)
        _exit(1);
    close(channel[1]);
    server.wait();
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    const pid_t site = start_site(&port);
    if (site < 0 || port == 0) {
        std::fprintf(stderr, "the loopback site did not start\n");
        return 1;
    }
    g_origin = "https://127.0.0.1:" + std::to_string(port);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kill(site, SIGTERM);
    waitpid(site, nullptr, 0);
    return 0;
}
