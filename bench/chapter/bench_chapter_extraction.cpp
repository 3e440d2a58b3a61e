// The chapter pipeline without the network: a 30 KB fixture page in, the
// clean text and the next link out, through extract_chapter.
#include <benchmark/benchmark.h>

#include <string>

#include "chapter/chapter_extraction.h"
#include "chapter/site.h"
#include "tests/support/fixture_site.h"

namespace {

void BM_ExtractChapter(benchmark::State& state) {
    const auto page_bytes = static_cast<std::size_t>(state.range(0));
    const novel::fixture::FixturePage page =
        novel::fixture::sized_page("/123/1.html", "/123/2.html", page_bytes);

    novel::Chapter chapter;
    for (auto _ : state) {
        chapter = novel::extract_chapter(page.bytes);
        benchmark::DoNotOptimize(chapter.text.data());
        benchmark::DoNotOptimize(chapter.next_link.data());
    }
    if (chapter.text != page.clean_text) state.SkipWithError("the pipeline gave the wrong text");
    if (chapter.next_link != std::string(novel::SITE_ORIGIN) + page.next_path) {
        state.SkipWithError("the pipeline gave the wrong next link");
    }

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.bytes.size()));
    state.counters["pages_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["page_bytes"] = static_cast<double>(page.bytes.size());
    state.counters["MB_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations() * page.bytes.size()) / 1e6,
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ExtractChapter)
    ->ArgName("page_bytes")
    ->Arg(30000)
    ->Arg(6000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
