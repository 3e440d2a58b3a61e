// Throughput of the text operations on a 1 MiB GBK page-like text.
#include <benchmark/benchmark.h>

#include <string>

#include "text/text_cutting.h"
#include "text/text_operations.h"

namespace {

std::string make_page(std::size_t size) {
    // Chinese prose with the markup the cleaning batches remove.
    const std::string paragraph =
        "&nbsp;&nbsp;&nbsp;&nbsp;\xcb\xfb\xcd\xc6\xbf\xaa\xc3\xc5\xa3\xac\xbf\xb4\xbc\xfb"
        "\xd2\xbb\xd6\xbb\xc3\xa8\xa1\xa3\xb2\x62r\xd3\xea\xbb\xb9\xd4\xda\xcf\xc2<br/><br/>"
        "\xcb\xfb\xcd\xc6\xbf\xaa\xc3\xc5\xa3\xac\xbf\xb4\xbc\xfb\xd2\xbb\xd6\xbb\xc3\xa8"
        "\xa1\xa3<br />--";
    std::string page;
    page.reserve(size + paragraph.size());
    while (page.size() < size) page += paragraph;
    page.resize(size - 6);
    page += "</div>";  // the marker the pipeline cuts at, at the far end
    return page;
}

const std::string& page() {
    static const std::string text = make_page(1 << 20);
    return text;
}

void BM_FindText(benchmark::State& state) {
    const bool ignore_case = state.range(0) != 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(novel::find_text(page(), "</div>", 1, ignore_case));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page().size()));
}
BENCHMARK(BM_FindText)->ArgName("ignore_case")->Arg(0)->Arg(1);

void BM_ReplaceText(benchmark::State& state) {
    const bool case_sensitive = state.range(0) != 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            novel::replace_text(page(), "br", "", 1, std::nullopt, case_sensitive));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page().size()));
}
BENCHMARK(BM_ReplaceText)->ArgName("case_sensitive")->Arg(1)->Arg(0);

// One of the chapter pipeline's cleaning batches: four pairs over the page.
void BM_ReplacePairsBatch(benchmark::State& state) {
    const bool case_sensitive = state.range(0) != 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            novel::replace_pairs(page(), {{"<", ""}, {">", ""}, {"br", ""}, {"center", ""}},
                                 {.case_sensitive = case_sensitive}));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page().size() * 4));
}
BENCHMARK(BM_ReplacePairsBatch)->ArgName("case_sensitive")->Arg(1)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
