#include "download/fetch_ahead.h"

#include <algorithm>
#include <limits>
#include <queue>

namespace novel {
namespace {

// Guesses less likely than this are not worth a request: on a book whose
// addresses follow no pattern the guesser's own rating drops below it after
// a page or two, and nothing more is asked for in vain.
constexpr double kLeastLikelihood = 0.3;
// The page the run waits for is never dropped to make room.
constexpr double kNeeded = std::numeric_limits<double>::infinity();

}  // namespace

FetchAhead::FetchAhead(int window) : window_(std::clamp(window, 1, kMostFetchAhead)) {}

FetchAhead::~FetchAhead() {
    // The run is over: what is still on its way is not waited for.
    for (const auto& [link, slot] : slots_) {
        if (!slot.held) requests_.abandon(slot.id);
    }
    for (const Slot& slot : unwanted_) requests_.abandon(slot.id);
}

void FetchAhead::run_starts(const std::string& end_link, std::uint64_t page_budget) {
    end_link_ = end_link;
    page_budget_ = page_budget;
}

std::vector<LinkGuess> FetchAhead::ahead_of(const std::string& from) const {
    // Best first over the tree of guesses: a page two steps ahead is as
    // likely as both its steps together.
    struct Node {
        double likelihood;
        std::string link;
        std::uint64_t depth;
        bool operator<(const Node& other) const { return likelihood < other.likelihood; }
    };
    std::priority_queue<Node> open;
    open.push({1.0, from, 0});
    std::set<std::string> seen{from};
    std::vector<LinkGuess> ahead;
    while (!open.empty() && ahead.size() < static_cast<std::size_t>(window_)) {
        const Node node = open.top();
        open.pop();
        if (node.depth > 0) ahead.push_back({node.link, node.likelihood});
        // Nothing lies ahead of the end, nor beyond the run's page budget.
        if (node.link == end_link_ || node.depth + 1 >= page_budget_) continue;
        for (const LinkGuess& guess : guesser_.guesses(node.link)) {
            const double likelihood = node.likelihood * guess.likelihood;
            if (likelihood < kLeastLikelihood || visited_.contains(guess.link)) continue;
            if (!seen.insert(guess.link).second) continue;
            open.push({likelihood, guess.link, node.depth + 1});
        }
    }
    return ahead;
}

void FetchAhead::start(const std::string& link, double likelihood) {
    Slot& slot = slots_[link];
    slot.id = requests_.start(link);
    slot.likelihood = likelihood;
    ++figures_.requests;
    figures_.most_in_flight = std::max(figures_.most_in_flight, requests_.running());
}

void FetchAhead::drop(std::map<std::string, Slot>::iterator slot) {
    if (!slot->second.held) unwanted_.push_back(std::move(slot->second));
    ++figures_.wasted;
    slots_.erase(slot);
}

bool FetchAhead::make_room(const std::stop_token& stop, const std::string& needed) {
    const auto full = [this] {
        return slots_.size() + unwanted_.size() >= static_cast<std::size_t>(window_);
    };
    while (full()) {
        // A page already here is dropped first: that costs the site nothing more.
        auto least = slots_.end();
        for (auto slot = slots_.begin(); slot != slots_.end(); ++slot) {
            if (slot->second.likelihood == kNeeded) continue;
            if (least == slots_.end() || slot->second.held > least->second.held ||
                (slot->second.held == least->second.held &&
                 slot->second.likelihood < least->second.likelihood)) {
                least = slot;
            }
        }
        if (least != slots_.end() && least->second.held) {
            drop(least);
            continue;
        }
        if (least != slots_.end() && unwanted_.empty()) drop(least);
        // Every place is taken by a request on its way: wait for one to end.
        std::vector<ConcurrentRequests::Answer> answers = requests_.wait(stop);
        if (stop.stop_requested()) return false;
        take(std::move(answers), needed);
    }
    return true;
}

void FetchAhead::top_up(const std::string& from) {
    if (window_ == 1) return;
    for (const LinkGuess& guess : ahead_of(from)) {
        if (slots_.size() + unwanted_.size() >= static_cast<std::size_t>(window_)) break;
        if (!slots_.contains(guess.link)) start(guess.link, guess.likelihood);
    }
}

void FetchAhead::take(std::vector<ConcurrentRequests::Answer> answers, const std::string& needed) {
    bool site_asks_for_less = false;
    for (ConcurrentRequests::Answer& answer : answers) {
        site_asks_for_less = site_asks_for_less || answer.status == 429 || answer.status == 503;
        const auto zombie = std::find_if(unwanted_.begin(), unwanted_.end(),
                                         [&](const Slot& slot) { return slot.id == answer.id; });
        if (zombie != unwanted_.end()) {
            unwanted_.erase(zombie);
            continue;
        }
        const auto slot = std::find_if(slots_.begin(), slots_.end(), [&](const auto& entry) {
            return !entry.second.held && entry.second.id == answer.id;
        });
        if (slot == slots_.end()) continue;
        const bool ok = answer.error == TransportError::none && answer.status / 100 == 2;
        if (slot->first != needed && !ok) {
            // A guess that failed costs its request and nothing else: the
            // run asks again, with its retries, if it ever needs the page.
            ++figures_.wasted;
            slots_.erase(slot);
            continue;
        }
        slot->second.held = true;
        slot->second.answer = {.body = std::move(answer.body),
                               .status = answer.status,
                               .error = answer.error,
                               .headers = std::move(answer.headers)};
    }
    if (site_asks_for_less) slow_down();
}

PageAnswer FetchAhead::fetch(const std::string& link, std::stop_token stop) {
    visited_.insert(link);
    if (!slots_.contains(link)) {
        if (!make_room(stop, link)) return {.error = TransportError::stopped};
        start(link, kNeeded);
    }
    slots_[link].likelihood = kNeeded;
    top_up(link);
    while (!slots_[link].held) {
        std::vector<ConcurrentRequests::Answer> answers = requests_.wait(stop);
        if (stop.stop_requested()) return {.error = TransportError::stopped};
        take(std::move(answers), link);
        top_up(link);
    }
    PageAnswer answer = std::move(slots_[link].answer);
    slots_.erase(link);
    return answer;
}

void FetchAhead::chain_moved(const std::string& link, const std::string& next) {
    guesser_.learn(link, next);
    if (page_budget_ > 0) --page_budget_;
    // What no longer lies ahead of the chain will never be asked for.
    const std::vector<LinkGuess> ahead = ahead_of(next);
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        const auto still = std::find_if(ahead.begin(), ahead.end(), [&](const LinkGuess& guess) {
            return guess.link == slot->first;
        });
        if (slot->first == next) {
            ++slot;
        } else if (still == ahead.end()) {
            drop(slot++);
        } else {
            slot->second.likelihood = still->likelihood;
            ++slot;
        }
    }
}

void FetchAhead::slow_down() {
    window_ = 1;
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        if (slot->second.likelihood == kNeeded) {
            ++slot;
        } else {
            drop(slot++);
        }
    }
}

}  // namespace novel
