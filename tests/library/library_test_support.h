#pragma once
// A library in a test's own folder, and pages to store in it.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "chapter/site.h"
#include "library/library.h"
#include "tests/support/temp_folder.h"

namespace novel::testing {

inline std::string page_address(std::string_view book, std::string_view key) {
    return std::string(SITE_ORIGIN) + "/" + std::string(book) + "/" + std::string(key) + ".html";
}

// Opens or fails the test.
inline std::unique_ptr<Library> open_or_fail(const std::string& path,
                                             const LibraryOptions& options = {}) {
    OpenResult opened = open_library(path, options);
    EXPECT_EQ(opened.outcome, OpenOutcome::opened) << opened.status.message;
    return std::move(opened.library);
}

// Stores a page of book whose next link is next_key's page (none when empty).
inline StoreResult store(Library& library, std::string_view book, std::string_view key,
                         std::string_view next_key, std::string text = {},
                         std::int64_t fetched_at = 1000, const BookInfo& info = {}) {
    const Chapter chapter{
        .title = "title " + std::string(key),
        .text = text.empty() ? "\r\ntitle " + std::string(key) + "\r\n    text" : std::move(text),
        .next_link = next_key.empty() ? std::string(SITE_ORIGIN) : page_address(book, next_key)};
    const BookInfo fallback{.name = std::string(book)};
    const std::string address = page_address(book, key);
    return library.store_page({.address = address,
                               .chapter = chapter,
                               .book = info.name.empty() ? fallback : info,
                               .fetched_at = fetched_at});
}

}  // namespace novel::testing
