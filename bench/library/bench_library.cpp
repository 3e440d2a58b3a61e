// Figures for the library on a realistic file: 100 books of 2,000 pages
// with chapter texts of 3 to 6 KB of GBK. Prints the time to open the file
// and list the bookshelf, a page lookup by address, the file's size against
// the text it holds, and the time per page of storing 20,000 pages one
// transaction each, as a download stores them. Built once into a temporary
// folder, removed at the end.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "chapter/site.h"
#include "library/library.h"
#include "tests/support/fixture_site.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using novel::fixture::gbk;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A chapter's text as extraction leaves it: CR LF, title, CR LF, paragraphs.
std::string chapter_text(const std::string& title, std::mt19937& random) {
    std::string text = "\r\n" + title + "\r\n";
    const std::size_t size = 3000 + random() % 3000;
    while (text.size() < size) {
        text += "    ";
        const std::vector<std::string>& sentences = novel::fixture::sentences();
        for (int k = 0; k < 3; ++k) text += sentences[random() % sentences.size()];
        text += "\r\n";
    }
    return text;
}

std::string address(int book, int chapter) {
    return std::string(novel::SITE_ORIGIN) + "/" + std::to_string(book) + "/" +
           std::to_string(chapter) + ".html";
}

struct Built {
    std::uint64_t text_bytes = 0;
};

// Stores pages [first, first + count) of each book; one transaction when batched.
Built fill(novel::Library& library, int books, int pages, std::mt19937& random) {
    Built built;
    for (int book = 1; book <= books; ++book) {
        const novel::BookInfo info{.name = gbk("书") + std::to_string(book),
                                   .author = gbk("作者"),
                                   .name_from_page = true};
        for (int n = 1; n <= pages; ++n) {
            const std::string title = gbk("第") + std::to_string(n) + gbk("章 夜行");
            const novel::Chapter chapter{.title = title,
                                         .text = chapter_text(title, random),
                                         .next_link = address(book, n + 1)};
            built.text_bytes += chapter.text.size();
            const std::string at = address(book, n);
            const novel::StoreResult stored = library.store_page(
                {.address = at, .chapter = chapter, .book = info, .fetched_at = book * 10000 + n});
            if (!stored.status.ok()) {
                std::fprintf(stderr, "store failed: %s\n", stored.status.message.c_str());
                std::exit(1);
            }
        }
    }
    return built;
}

}  // namespace

int main() {
    std::string folder_pattern = (fs::temp_directory_path() / "bench_library_XXXXXX").string();
    if (::mkdtemp(folder_pattern.data()) == nullptr) return 1;
    const fs::path folder = folder_pattern;
    const std::string file = (folder / "library.sqlite3").string();
    std::mt19937 random(42);
    constexpr int kBooks = 100;
    constexpr int kPages = 2000;

    Built built;
    {
        const auto start = Clock::now();
        novel::OpenResult opened = novel::open_library(file);
        if (!opened.library) return 1;
        novel::LibraryBatch batch = opened.library->begin_batch();
        built = fill(*opened.library, kBooks, kPages, random);
        if (!batch.commit().ok()) return 1;
        std::printf("building %d books x %d pages in one transaction: %.1f s\n", kBooks, kPages,
                    ms_since(start) / 1000);
    }

    std::vector<double> shelf_times;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        novel::OpenResult opened = novel::open_library(file);
        const novel::Bookshelf shelf = opened.library->bookshelf();
        shelf_times.push_back(ms_since(start));
        if (shelf.rows.size() != kBooks) return 1;
    }
    std::ranges::sort(shelf_times);
    std::printf("open + bookshelf of %d books: median %.1f ms, worst %.1f ms (aim <= 100 ms)\n",
                kBooks, shelf_times[shelf_times.size() / 2], shelf_times.back());

    {
        novel::OpenResult opened = novel::open_library(file);
        std::vector<double> lookups;
        for (int k = 0; k < 2000; ++k) {
            const std::string at = address(1 + static_cast<int>(random() % kBooks),
                                           1 + static_cast<int>(random() % kPages));
            const auto start = Clock::now();
            const novel::PageLookup page = opened.library->page_at(at);
            lookups.push_back(ms_since(start));
            if (!page.found) return 1;
        }
        std::ranges::sort(lookups);
        std::printf(
            "page lookup by address: median %.3f ms, 99th %.3f ms, worst %.3f ms (aim <= 16 ms)\n",
            lookups[lookups.size() / 2], lookups[lookups.size() * 99 / 100], lookups.back());

        const auto start = Clock::now();
        const novel::Chain chain = opened.library->chain("50");
        std::size_t walked = 0;
        chain.walk([&](const novel::ChainItem&) { return ++walked > 0; });
        std::printf("walking a book's chain of %zu pages: %.1f ms\n", walked, ms_since(start));
    }

    const auto size = fs::file_size(file);
    std::printf("file %.1f MB for %.1f MB of text: %.3fx (aim <= 1.2x)\n", size / 1e6,
                built.text_bytes / 1e6,
                static_cast<double>(size) / static_cast<double>(built.text_bytes));

    {
        const std::string fresh = (folder / "store.sqlite3").string();
        novel::OpenResult opened = novel::open_library(fresh);
        const auto start = Clock::now();
        fill(*opened.library, 10, 2000, random);
        const double total = ms_since(start);
        std::printf("storing 20000 pages, one transaction each: %.1f s, %.3f ms per page\n",
                    total / 1000, total / 20000);
    }

    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return 0;
}
