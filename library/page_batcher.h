#pragma once
// Pages kept a few dozen at a time: a long download stores them in one
// transaction per batch instead of one each, which costs the run a fraction
// of the writes. Pages wait in memory, not in an open transaction, so the
// library is never locked while the run waits for the network; a kill at
// any moment loses at most the pages still waiting, never part of one.

#include <chrono>
#include <cstddef>
#include <vector>

#include "library/library.h"

namespace novel {

class PageBatcher {
public:
    struct Limits {
        std::size_t pages = 64;
        std::chrono::milliseconds age{250};  // the oldest waiting page, at the next store
    };
    explicit PageBatcher(Library& library) : PageBatcher(library, Limits{}) {}
    PageBatcher(Library& library, Limits limits);
    // Stores what still waits; a failure then is lost with the batcher.
    ~PageBatcher();
    PageBatcher(const PageBatcher&) = delete;
    PageBatcher& operator=(const PageBatcher&) = delete;

    // Takes a copy of the page; writes the batch when it is full or old.
    // When the batch cannot be written whole, its pages are stored one by
    // one up to the first that fails, whose failure comes back.
    [[nodiscard]] LibraryStatus store(const PageToStore& page);
    [[nodiscard]] LibraryStatus flush();

private:
    struct Waiting {
        std::string address;
        Chapter chapter;
        BookInfo book;
        std::int64_t fetched_at = 0;
    };
    Library& library_;
    Limits limits_;
    std::vector<Waiting> waiting_;
    std::chrono::steady_clock::time_point oldest_;
};

}  // namespace novel
