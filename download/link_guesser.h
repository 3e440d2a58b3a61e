#pragma once
// Guesses the addresses that follow a chapter page, from the chain itself:
// the same chapter's next page (N.html -> N_2.html, N_k.html -> N_k+1.html)
// or the next chapter (N.html, N_k.html -> N+1.html). It learns from every
// step of the chain which guess holds for this book, separately on a
// chapter's first page and on its later pages, and rates its guesses by
// that. Knows nothing of HTTP.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace novel {

struct LinkGuess {
    std::string link;
    double likelihood = 0;  // that link is the one that follows
};

class LinkGuesser {
public:
    // The likely next addresses after link, most likely first; none when
    // link is not of the form .../N.html or .../N_k.html.
    [[nodiscard]] std::vector<LinkGuess> guesses(std::string_view link) const;

    // The chain went from link to next: learn which guess, if any, held.
    void learn(std::string_view link, std::string_view next);

private:
    enum Outcome { kNextPage, kNextChapter, kNeither, kOutcomes };
    // Counts per place in a chapter: its first page, or a later one.
    std::array<std::array<int, kOutcomes>, 2> seen_{};
};

}  // namespace novel
