// A process of its own that stores pages into a library, for the tests that
// kill a writer or run two at once: library_writer FILE BOOK FIRST COUNT
// stores chapters FIRST.. of BOOK, COUNT of them or, with 0, until killed.
// Exits 0 when every page was stored, 2 at the first failure.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "chapter/site.h"
#include "library/library.h"

int main(int argc, char** argv) {
    using namespace novel;
    if (argc != 5) {
        std::fprintf(stderr, "usage: library_writer FILE BOOK FIRST COUNT\n");
        return 1;
    }
    const std::string book = argv[2];
    const long first = std::atol(argv[3]);
    const long count = std::atol(argv[4]);
    OpenResult opened = open_library(argv[1]);
    if (!opened.library) {
        std::fprintf(stderr, "open: %s\n", opened.status.message.c_str());
        return 2;
    }
    const BookInfo info{.name = "Book " + book, .author = "Writer", .name_from_page = true};
    for (long n = first; count == 0 || n < first + count; ++n) {
        const std::string key = std::to_string(n);
        // Texts of 3 to 6 KB, each different, so a torn write would show in its hash.
        std::string text = "\r\ntitle " + key + "\r\n";
        const std::size_t size = 3000 + static_cast<std::size_t>(n * 7919 % 3000);
        while (text.size() < size) text += "    line " + key + " " + std::to_string(text.size());
        const Chapter chapter{.title = "title " + key,
                              .text = text,
                              .next_link = std::string(SITE_ORIGIN) + "/" + book + "/" +
                                           std::to_string(n + 1) + ".html"};
        const std::string address = std::string(SITE_ORIGIN) + "/" + book + "/" + key + ".html";
        const StoreResult stored = opened.library->store_page(
            {.address = address, .chapter = chapter, .book = info, .fetched_at = n});
        if (!stored.status.ok()) {
            std::fprintf(stderr, "store %s: %s\n", key.c_str(), stored.status.message.c_str());
            return 2;
        }
    }
    return 0;
}
