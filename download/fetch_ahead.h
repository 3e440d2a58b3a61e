#pragma once
// Pages fetched ahead along the chain of next links: while the run waits for
// one page, the pages it is likely to need next (as the link guesser sees
// them) are already on their way, at most `window` requests in flight or
// pages held at once. A page is handed to the run only when the run asks for
// its very address, so the file is what a serial walk writes.
//
// Polite on any site: the guesser asks for an address at most once a run,
// a page that arrived ahead says exactly where its chain goes on, and the
// requests whose page the run never takes stay within twice the window, so
// a run sends at most its pages + 2 x window requests besides its retries.

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "download/link_guesser.h"
#include "download/page_source.h"
#include "http/concurrent_requests.h"

namespace novel {

inline constexpr int kDefaultFetchAhead = 4;
inline constexpr int kMostFetchAhead = 8;

class FetchAhead final : public PageSource {
public:
    // window: 1 (nothing ahead: the serial walk) to kMostFetchAhead.
    explicit FetchAhead(int window);
    ~FetchAhead() override;
    FetchAhead(const FetchAhead&) = delete;
    FetchAhead& operator=(const FetchAhead&) = delete;

    [[nodiscard]] PageAnswer fetch(const std::string& link, std::stop_token stop) override;
    void run_starts(const std::string& end_link, std::uint64_t page_budget) override;
    void chain_moved(const std::string& link, const std::string& next) override;
    // From now on one request at a time.
    void slow_down() override;

    struct Figures {
        std::size_t requests = 0;  // sent to the site
        std::size_t wasted = 0;    // whose page the run never took
        std::size_t most_in_flight = 0;
    };
    [[nodiscard]] const Figures& figures() const { return figures_; }

private:
    struct Slot {
        ConcurrentRequests::Id id = 0;  // while in flight
        bool held = false;
        PageAnswer answer;      // once held
        double likelihood = 0;  // that the run asks for it
        // Off the chain but still in flight: it runs to its end, so that the
        // site never has more than the window to answer, and is thrown away.
        bool unwanted = false;
    };

    // The `most` addresses likeliest to follow `from`, at least `least`
    // likely, with how likely each is, best first; `from` is not among them.
    [[nodiscard]] std::vector<LinkGuess> ahead_of(const std::string& from, std::size_t most,
                                                  double least) const;
    // Starts requests for the likeliest pages ahead of `from`, while there is room.
    void top_up(const std::string& from);
    void start(const std::string& link, double likelihood);
    // Drops a slot the run will not ask for: its page, or its request's answer.
    void drop(std::map<std::string, Slot>::iterator slot);
    // Waits until fewer than the window's requests are on their way;
    // false when stop was requested meanwhile.
    bool make_room(const std::stop_token& stop, const std::string& needed);
    // Takes the answers that came; the one for `needed` stays in its slot.
    void take(std::vector<ConcurrentRequests::Answer> answers, const std::string& needed);
    // A chapter page says where the chain goes on from it.
    void learn_from_page(const std::string& link, const ByteData& page);
    // Whether one more guess may be sent without breaking the bound on wasted requests.
    [[nodiscard]] bool may_guess() const;

    int window_;
    ConcurrentRequests requests_;
    LinkGuesser guesser_;
    std::map<std::string, Slot> slots_;              // in flight or held, by address
    std::vector<Slot> unwanted_;                     // in flight, off the chain
    std::set<std::string> visited_;                  // asked for by the run
    std::set<std::string> guessed_;                  // ever sent as a guess: never again as one
    std::set<std::string> failed_;                   // guesses that answered no chapter
    std::map<std::string, std::string> known_next_;  // what arrived pages lead to
    int first_window_;  // the bound on waste stays with the window the run began with
    std::string end_link_;
    std::uint64_t page_budget_ = 0;
    Figures figures_;
};

}  // namespace novel
