#pragma once
// Pages fetched ahead along the chain of next links: while the run waits for
// one page, the pages it is likely to need next (as the link guesser sees
// them) are already on their way, at most `window` requests in flight or
// pages held at once. A page is handed to the run only when the run asks for
// its very address, so the file is what a serial walk writes.

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

    // The addresses likely to follow `from`, with how likely each is, best
    // first; `from` itself is not among them.
    [[nodiscard]] std::vector<LinkGuess> ahead_of(const std::string& from) const;
    // Starts requests for the likeliest pages ahead of `from`, while there is room.
    void top_up(const std::string& from);
    void start(const std::string& link, double likelihood);
    // Drops a slot the run will not ask for: its page, or its request's answer.
    void drop(std::map<std::string, Slot>::iterator slot);
    // Makes room for one more request, waiting for one to end when needed;
    // false when stop was requested meanwhile.
    bool make_room(const std::stop_token& stop, const std::string& needed);
    // Takes the answers that came; the one for `needed` stays in its slot.
    void take(std::vector<ConcurrentRequests::Answer> answers, const std::string& needed);

    int window_;
    ConcurrentRequests requests_;
    LinkGuesser guesser_;
    std::map<std::string, Slot> slots_;  // in flight or held, by address
    std::vector<Slot> unwanted_;         // in flight, off the chain
    std::set<std::string> visited_;      // asked for by the run
    std::string end_link_;
    std::uint64_t page_budget_ = 0;
    Figures figures_;
};

}  // namespace novel
