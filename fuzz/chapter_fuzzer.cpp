// Chapter extraction on any page: the same page gives the same chapter, the
// next link stays on the site, and it agrees with one search of the whole
// page for the 24th link, which the extraction does a few lines at a time.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "chapter/chapter_extraction.h"
#include "chapter/site.h"
#include "fuzz/fuzz_check.h"
#include "regex/regex_object.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace novel;
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    const Chapter chapter = extract_chapter(page);
    const Chapter again = extract_chapter(page);
    FUZZ_CHECK(chapter.title == again.title && chapter.text == again.text &&
               chapter.next_link == again.next_link);

    FUZZ_CHECK(chapter.next_link.starts_with(SITE_ORIGIN));
    FUZZ_CHECK(chapter.next_link == SITE_ORIGIN || is_site_address(chapter.next_link));

    RegexObject whole_page;
    if (!whole_page.execute(R"re(<a href="(.*?)">)re", page)) return 0;  // hit a limit
    const std::string found = std::string(SITE_ORIGIN) + whole_page.submatch(24, 1);
    FUZZ_CHECK(chapter.next_link == found || chapter.next_link == SITE_ORIGIN);
    FUZZ_CHECK(chapter.next_link == found || !is_site_address(found));
    return 0;
}
