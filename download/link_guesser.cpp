#include "download/link_guesser.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace novel {
namespace {

constexpr std::string_view kSuffix = ".html";
constexpr int kMemory = 32;

// .../N.html or .../N_k.html, taken apart.
struct ChapterLink {
    std::string_view folder;  // up to and including the last "/"
    unsigned long long chapter = 0;
    std::string_view chapter_digits;
    unsigned long long page = 1;  // 1: no page suffix

    [[nodiscard]] std::string with(unsigned long long new_chapter,
                                   unsigned long long new_page) const {
        std::string link(folder);
        // The chapter keeps its written width (leading zeros) when it stays.
        if (new_chapter == chapter) {
            link.append(chapter_digits);
        } else {
            link.append(std::to_string(new_chapter));
        }
        if (new_page > 1) link.append("_").append(std::to_string(new_page));
        return link.append(kSuffix);
    }
};

std::optional<unsigned long long> number(std::string_view digits) {
    if (digits.empty() || digits.size() > 18) return std::nullopt;
    unsigned long long value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

std::optional<ChapterLink> parse(std::string_view link) {
    if (!link.ends_with(kSuffix)) return std::nullopt;
    const std::size_t slash = link.rfind('/');
    if (slash == std::string_view::npos) return std::nullopt;
    ChapterLink parsed{.folder = link.substr(0, slash + 1)};
    std::string_view name = link.substr(slash + 1, link.size() - slash - 1 - kSuffix.size());
    const std::size_t underscore = name.find('_');
    parsed.chapter_digits = name.substr(0, underscore);
    const auto chapter = number(parsed.chapter_digits);
    if (!chapter) return std::nullopt;
    parsed.chapter = *chapter;
    if (underscore != std::string_view::npos) {
        const auto page = number(name.substr(underscore + 1));
        if (!page || *page < 2) return std::nullopt;
        parsed.page = *page;
    }
    return parsed;
}

}  // namespace

std::vector<LinkGuess> LinkGuesser::guesses(std::string_view link) const {
    const std::optional<ChapterLink> parsed = parse(link);
    if (!parsed) return {};
    const auto& counts = seen_[parsed->page > 1 ? 1 : 0];
    int total = 0;
    for (const int count : counts) total += count;
    // Each outcome starts as likely as the others and moves with what was seen.
    const auto likelihood = [&](Outcome outcome) {
        return (counts[outcome] + 1.0) / (total + static_cast<double>(kOutcomes));
    };
    std::vector<LinkGuess> result{
        {parsed->with(parsed->chapter, parsed->page + 1), likelihood(kNextPage)},
        {parsed->with(parsed->chapter + 1, 1), likelihood(kNextChapter)},
    };
    std::stable_sort(result.begin(), result.end(), [](const LinkGuess& a, const LinkGuess& b) {
        return a.likelihood > b.likelihood;
    });
    return result;
}

void LinkGuesser::learn(std::string_view link, std::string_view next) {
    const std::optional<ChapterLink> parsed = parse(link);
    if (!parsed) return;
    Outcome outcome = kNeither;
    if (next == parsed->with(parsed->chapter, parsed->page + 1)) {
        outcome = kNextPage;
    } else if (next == parsed->with(parsed->chapter + 1, 1)) {
        outcome = kNextChapter;
    }
    auto& counts = seen_[parsed->page > 1 ? 1 : 0];
    ++counts[outcome];
    // Old steps count for less and less, so a book that changes its ways is
    // followed within a few dozen pages.
    int total = 0;
    for (const int count : counts) total += count;
    if (total > kMemory) {
        for (int& count : counts) count /= 2;
    }
}

}  // namespace novel
