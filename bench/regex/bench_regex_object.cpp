// The chapter pipeline's regex work on one page: execute the link pattern
// (case-blind, multiline, global) over a 100 KB GBK page with 60 links, GBK
// conversion included, then read group 1 of the 24th match.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/gbk.h"
#include "regex/regex_engine.h"
#include "regex/regex_object.h"

namespace {

constexpr std::string_view kLinkPattern = "<a href=\"(.*?)\">";
constexpr std::size_t kPageSize = 100 * 1024;
constexpr int kLinks = 60;

std::string make_page() {
    const std::string prose = novel::utf16_to_gbk(
        u"&nbsp;&nbsp;&nbsp;&nbsp;他推开门，看见一只猫。雨还在下，<br/><br/>"
        u"<div class=\"p\">天色渐渐暗了下来，街上的行人越来越少。</div>\r\n");
    std::string page = "<html><head><title>" + novel::utf16_to_gbk(u"第一章") + "</title>\r\n";
    const std::size_t gap = kPageSize / (kLinks + 1);
    for (int link = 1; link <= kLinks; ++link) {
        while (page.size() < gap * static_cast<std::size_t>(link)) page += prose;
        page += "<a href=\"/12345/" + std::to_string(6780000 + link) + ".html\">" +
                novel::utf16_to_gbk(u"下一章") + "</a>\r\n";
    }
    while (page.size() < kPageSize) page += prose;
    page.resize(kPageSize);
    return page;
}

const std::string& page() {
    static const std::string text = make_page();
    return text;
}

void BM_ExecuteLinkPatternAndReadLink24(benchmark::State& state) {
    novel::RegexObject regex;
    // A figure for a search that finds the wrong links would mean nothing.
    regex.execute(kLinkPattern, page());
    if (regex.match_count() != kLinks || regex.submatch(24, 1) != "/12345/6780024.html") {
        state.SkipWithError("the link search does not find the page's links");
        return;
    }
    for (auto _ : state) {
        regex.execute(kLinkPattern, page());
        benchmark::DoNotOptimize(regex.submatch(24, 1));
    }
    state.counters["matches"] = regex.match_count();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page().size()));
}
BENCHMARK(BM_ExecuteLinkPatternAndReadLink24)->Unit(benchmark::kMicrosecond);

// The parts of the above, to see where the time goes.
void BM_DecodeGbkPage(benchmark::State& state) {
    for (auto _ : state) {
        novel::DecodedGbk decoded(page());
        benchmark::DoNotOptimize(decoded.utf16().data());
    }
}
BENCHMARK(BM_DecodeGbkPage)->Unit(benchmark::kMicrosecond);

void BM_GbkToUtf16Page(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(novel::gbk_to_utf16(page()));
}
BENCHMARK(BM_GbkToUtf16Page)->Unit(benchmark::kMicrosecond);

void BM_CompileLinkPattern(benchmark::State& state) {
    for (auto _ : state) {
        novel::RegexEngine engine(u"<a href=\"(.*?)\">",
                                  {.ignore_case = true, .multiline = true, .global = true});
        benchmark::DoNotOptimize(engine.is_valid());
    }
}
BENCHMARK(BM_CompileLinkPattern)->Unit(benchmark::kMicrosecond);

void BM_EngineExecuteOnly(benchmark::State& state) {
    const novel::DecodedGbk decoded(page());
    const novel::RegexEngine engine(u"<a href=\"(.*?)\">",
                                    {.ignore_case = true, .multiline = true, .global = true});
    for (auto _ : state) benchmark::DoNotOptimize(engine.execute(decoded.utf16()));
}
BENCHMARK(BM_EngineExecuteOnly)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
