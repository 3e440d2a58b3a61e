// The chapter pipeline without the network: a 30 KB fixture page in, the
// clean text and the next link out, through extract_chapter.
#include <benchmark/benchmark.h>

#include <string>

#include "chapter/chapter_extraction.h"
#include "chapter/site.h"
#include "chapter/working_text.h"
#include "regex/regex_object.h"
#include "tests/support/fixture_site.h"

namespace {

void BM_ExtractChapter(benchmark::State& state) {
    const auto page_bytes = static_cast<std::size_t>(state.range(0));
    const novel::fixture::FixturePage page =
        novel::fixture::sized_page("/123/1.html", "/123/2.html", page_bytes);

    novel::RegexObject regex;
    std::string page_text, title, next_link, work_text;
    novel::StringWorkingText work(&work_text);
    const novel::ExtractionState extraction{
        .regex = &regex, .page_text = &page_text, .title = &title, .next_link = &next_link};

    for (auto _ : state) {
        novel::extract_chapter(page.bytes, extraction, work);
        benchmark::DoNotOptimize(work_text.data());
        benchmark::DoNotOptimize(next_link.data());
    }
    if (work_text != page.clean_text) state.SkipWithError("the pipeline gave the wrong text");
    if (next_link != std::string(novel::SITE_ORIGIN) + page.next_path) {
        state.SkipWithError("the pipeline gave the wrong next link");
    }

    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.bytes.size()));
    state.counters["pages_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["page_bytes"] = static_cast<double>(page.bytes.size());
}
BENCHMARK(BM_ExtractChapter)
    ->ArgName("page_bytes")
    ->Arg(30000)
    ->Arg(6000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
