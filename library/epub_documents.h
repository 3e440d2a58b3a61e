#pragma once
// The small documents of an EPUB 3 container, as UTF-8 texts. Every text
// handed in is plain UTF-8 and is escaped here.

#include <string>
#include <string_view>
#include <vector>

namespace novel {

// Where the package's documents live inside the container.
inline constexpr std::string_view kPackageFolder = "OEBPS/";

// One document of the reading order, after the title page and the table of
// contents.
struct EpubEntry {
    std::string id;         // "c0001"
    std::string href;       // from the package folder: "text/chapter-0001.xhtml"
    std::string toc_label;  // the table of contents' label; empty: not listed there
};

struct EpubFacts {
    std::string identifier;  // "urn:uuid:..."
    std::string title;
    std::string author;    // empty: no creator
    std::string language;  // "zh-Hans", "zh-Hant"
    std::string source_address;
    std::string modified;  // "YYYY-MM-DDThh:mm:ssZ"
};

inline constexpr std::string_view kTitlePageHref = "text/title.xhtml";
inline constexpr std::string_view kNavigationHref = "nav.xhtml";

[[nodiscard]] std::string container_document();
[[nodiscard]] std::string style_sheet();
[[nodiscard]] std::string package_document(const EpubFacts& facts,
                                           const std::vector<EpubEntry>& entries);
[[nodiscard]] std::string navigation_document(const EpubFacts& facts, std::string_view heading,
                                              const std::vector<EpubEntry>& entries);
[[nodiscard]] std::string ncx_document(const EpubFacts& facts,
                                       const std::vector<EpubEntry>& entries);
// The book's name as heading, then one centred line each.
[[nodiscard]] std::string title_page(const EpubFacts& facts, const std::vector<std::string>& lines);

// A document under text/ up to its open body section, and its end; the
// paragraphs go in between.
[[nodiscard]] std::string text_document_head(std::string_view title, std::string_view language);
[[nodiscard]] std::string text_document_tail();
// "<p>text</p>" or "<p class=\"css_class\">text</p>".
[[nodiscard]] std::string paragraph_element(std::string_view text, std::string_view css_class = {});
void append_paragraph_element(std::string_view text, std::string* out);

// "YYYY-MM-DDThh:mm:ssZ" for seconds since the epoch.
[[nodiscard]] std::string utc_timestamp(long long seconds);
// "YYYY-MM-DD hh:mm" UTC, for people.
[[nodiscard]] std::string utc_minute(long long seconds);

}  // namespace novel
