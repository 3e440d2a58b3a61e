#include "download/fetch_ahead.h"

#include <algorithm>
#include <limits>
#include <queue>

#include "chapter/chapter_extraction.h"
#include "chapter/site.h"

namespace novel {
namespace {

// Guesses less likely than this are not worth a request: on a book whose
// addresses follow no pattern the guesser's own rating drops below it after
// a page or two, and nothing more is asked for in vain.
constexpr double kLeastLikelihood = 0.3;
// What a page held must still be worth to be kept for the run.
constexpr double kKeepLikelihood = 0.02;
// The page the run waits for is never dropped to make room.
constexpr double kNeeded = std::numeric_limits<double>::infinity();

bool is_chapter(const HttpResponse& response) {
    return response.succeeded() && has_chapter_content(response.body);
}

}  // namespace

FetchAhead::FetchAhead(int window)
    : window_(std::clamp(window, 1, kMostFetchAhead)), first_window_(window_) {}

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

std::vector<LinkGuess> FetchAhead::ahead_of(const std::string& from, std::size_t most,
                                            double least) const {
    // Best first over the tree of guesses: a page two steps ahead is as
    // likely as both its steps together. Where a page has arrived, its own
    // next link is the one step that follows it.
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
    while (!open.empty() && ahead.size() < most) {
        const Node node = open.top();
        open.pop();
        if (node.depth > 0) ahead.push_back({node.link, node.likelihood});
        // Nothing lies ahead of the end, nor beyond the run's page budget.
        if (node.link == end_link_ || node.depth + 1 >= page_budget_) continue;
        std::vector<LinkGuess> steps;
        if (const auto known = known_next_.find(node.link); known != known_next_.end()) {
            steps.push_back({known->second, 1.0});
        } else {
            steps = guesser_.guesses(node.link);
        }
        for (const LinkGuess& step : steps) {
            const double likelihood = node.likelihood * step.likelihood;
            if (likelihood < least || visited_.contains(step.link)) continue;
            if (failed_.contains(step.link) || step.link == SITE_ORIGIN) continue;
            if (!seen.insert(step.link).second) continue;
            open.push({likelihood, step.link, node.depth + 1});
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

bool FetchAhead::may_guess() const {
    // Every guess still out may yet be wasted: counted as if it were, the
    // waste of the whole run never exceeds twice the window it began with.
    const auto guesses_out =
        static_cast<std::size_t>(std::count_if(slots_.begin(), slots_.end(), [](const auto& slot) {
            return slot.second.likelihood != kNeeded;
        }));
    return figures_.wasted + guesses_out + 1 <= 2 * static_cast<std::size_t>(first_window_);
}

bool FetchAhead::make_room(const std::stop_token& stop, const std::string& needed) {
    // Only requests on their way count here: pages already held cost the
    // site nothing more, and dropping one would cost a second request for it
    // if the chain comes by it after all. Guesses keep to the window in
    // top_up, so held pages never grow past it.
    const auto in_flight = [this] {
        const auto running = std::count_if(slots_.begin(), slots_.end(),
                                           [](const auto& slot) { return !slot.second.held; });
        return static_cast<std::size_t>(running) + unwanted_.size();
    };
    while (in_flight() >= static_cast<std::size_t>(window_)) {
        std::vector<ConcurrentRequests::Answer> answers = requests_.wait(stop);
        if (stop.stop_requested()) return false;
        take(std::move(answers), needed);
    }
    return true;
}

void FetchAhead::top_up(const std::string& from) {
    if (window_ == 1) return;
    for (const LinkGuess& guess :
         ahead_of(from, static_cast<std::size_t>(window_), kLeastLikelihood)) {
        if (slots_.size() + unwanted_.size() >= static_cast<std::size_t>(window_)) break;
        if (slots_.contains(guess.link) || guessed_.contains(guess.link)) continue;
        if (!may_guess()) break;
        guessed_.insert(guess.link);
        start(guess.link, guess.likelihood);
    }
}

void FetchAhead::learn_from_page(const std::string& link, const ByteData& page) {
    if (known_next_.contains(link)) return;
    const std::string next = extract_chapter(page).next_link;
    known_next_.emplace(link, next);
    guesser_.learn(link, next);
}

void FetchAhead::take(std::vector<ConcurrentRequests::Answer> answers, const std::string& needed) {
    bool site_asks_for_less = false;
    for (ConcurrentRequests::Answer& answer : answers) {
        HttpResponse& response = answer.response;
        site_asks_for_less = site_asks_for_less || response.status == 429 || response.status == 503;
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
        const bool chapter = is_chapter(response);
        // A rate-limit page answered with 200 asks for less as a 503 does.
        site_asks_for_less = site_asks_for_less || (response.status == 200 && !chapter);
        if (slot->first != needed && !chapter) {
            // A guess that failed is never sent again as one: only the run
            // asks for it, with its retries, if the chain really leads there.
            failed_.insert(slot->first);
            ++figures_.wasted;
            slots_.erase(slot);
            continue;
        }
        if (chapter) learn_from_page(slot->first, response.body);
        slot->second.held = true;
        slot->second.answer = std::move(response);
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
    if (!known_next_.contains(link)) {
        known_next_.emplace(link, next);
        guesser_.learn(link, next);
    }
    if (page_budget_ > 0) --page_budget_;
    // A page held that no longer lies ahead of the chain will never be asked
    // for. Requests on their way are left to end, since they are sent
    // already: their pages may yet be needed, as guesses change with every
    // page, and dropping one would cost a second request for it.
    const std::vector<LinkGuess> ahead =
        ahead_of(next, 4 * static_cast<std::size_t>(first_window_), kKeepLikelihood);
    for (auto slot = slots_.begin(); slot != slots_.end();) {
        const auto still = std::find_if(ahead.begin(), ahead.end(), [&](const LinkGuess& guess) {
            return guess.link == slot->first;
        });
        if (slot->first == next) {
            ++slot;
        } else if (still != ahead.end()) {
            slot->second.likelihood = still->likelihood;
            ++slot;
        } else if (slot->second.held) {
            drop(slot++);
        } else {
            slot->second.likelihood = 0;
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
