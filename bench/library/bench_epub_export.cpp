// Exports a long book of fixture-sized chapters and prints the time and the
// peak memory; run with 200 chapters beside 2,000 to see memory stay flat.
//   bench_epub_export [chapters...]   (default: 200 2000)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "chapter/chapter_extraction.h"
#include "library/epub_writer.h"
#include "platform/files.h"
#include "tests/support/fixture_site.h"

namespace {

constexpr std::size_t kPageBytes = 30 * 1024;

// One page in memory at a time, as the store walks: each chapter's text is
// made from a template page, renumbered, when the walk reaches it.
novel::ChainWalk long_book(int chapters, const novel::Chapter& model) {
    return [chapters, model](const novel::ChainVisitor& visit) {
        for (int n = 1; n <= chapters; ++n) {
            const std::string number = std::to_string(n);
            const std::string title =
                novel::fixture::gbk("第") + number + novel::fixture::gbk("章 夜行");
            novel::ChainPage page{
                .address = "https://fixture.test/bench/" + number + ".html",
                .chapter_key = number,
                .title = title,
                .text = "\r\n" + title + model.text.substr(model.text.find("\r\n", 2))};
            if (!visit(page)) return;
        }
    };
}

// Each size runs in a child process of its own, so that one run's peak does
// not hide in another's.
void measure(int chapters, bool traditional, const std::filesystem::path& folder) {
    const pid_t child = fork();
    if (child != 0) {
        int status = 0;
        waitpid(child, &status, 0);
        return;
    }
    const novel::fixture::FixturePage sized =
        novel::fixture::sized_page("/bench/1.html", "/bench/2.html", kPageBytes);
    const novel::Chapter model = novel::extract_chapter(sized.bytes);
    const novel::BookFacts book{.book_number = "bench",
                                .name = novel::fixture::gbk("夜行记"),
                                .author = novel::fixture::gbk("说书人"),
                                .source_address = "https://fixture.test/bench/"};
    const std::string output = (folder / ("bench-" + std::to_string(chapters) + ".epub")).string();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double setup_cpu =
        static_cast<double>(before.ru_utime.tv_sec + before.ru_stime.tv_sec) +
        static_cast<double>(before.ru_utime.tv_usec + before.ru_stime.tv_usec) / 1e6;
    const auto start = std::chrono::steady_clock::now();
    const novel::EpubResult result = novel::write_epub(
        book, long_book(chapters, model), {.output_path = output, .traditional = traditional});
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // Other work on a shared machine stretches the wall time; CPU time does not.
    const auto cpu_seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    const double cpu = cpu_seconds(usage.ru_utime) + cpu_seconds(usage.ru_stime) - setup_cpu;
    const double text_mb = static_cast<double>(model.text.size()) * chapters / (1024.0 * 1024.0);
    std::printf(
        "%5d chapters %-11s %7.1f MB GBK text  %6.2f s (CPU %5.2f s)  %6.1f MB/s  peak RSS %6.1f "
        "MB  epub %6.1f "
        "MB%s%s\n",
        chapters, traditional ? "traditional" : "simplified", text_mb, seconds, cpu,
        text_mb / seconds, static_cast<double>(usage.ru_maxrss) / 1024.0,
        static_cast<double>(novel::file_size(output).value_or(0)) / (1024.0 * 1024.0),
        result.ok ? "" : "  FAILED: ", result.reason.c_str());
    std::fflush(stdout);  // _Exit skips the flush that exit would do
    std::_Exit(result.ok ? 0 : 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {200, 2000};
    char pattern[] = "/tmp/bench_epub_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path folder = pattern;
    for (const bool traditional : {false, true}) {
        for (const int chapters : sizes) measure(chapters, traditional, folder);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
