#include "library/page_batcher.h"

#include <utility>

namespace novel {

PageBatcher::PageBatcher(Library& library, Limits limits) : library_(library), limits_(limits) {}

PageBatcher::~PageBatcher() { (void)flush(); }

LibraryStatus PageBatcher::store(const PageToStore& page) {
    if (waiting_.empty()) oldest_ = std::chrono::steady_clock::now();
    waiting_.push_back({std::string(page.address), page.chapter, page.book, page.fetched_at});
    if (waiting_.size() < limits_.pages &&
        std::chrono::steady_clock::now() - oldest_ < limits_.age) {
        return {};
    }
    return flush();
}

namespace {

// An address that names no chapter page is simply not kept.
bool failed(const StoreResult& stored) {
    return stored.outcome == StoreOutcome::failed &&
           stored.status.error != LibraryError::bad_address;
}

}  // namespace

LibraryStatus PageBatcher::flush() {
    if (waiting_.empty()) return {};
    const std::vector<Waiting> pages = std::exchange(waiting_, {});
    const auto store_one = [this](const Waiting& page) {
        return library_.store_page({.address = page.address,
                                    .chapter = page.chapter,
                                    .book = page.book,
                                    .fetched_at = page.fetched_at});
    };
    {
        LibraryBatch batch = library_.begin_batch();
        bool whole = batch.begun().ok();
        for (std::size_t at = 0; whole && at < pages.size(); ++at)
            whole = !failed(store_one(pages[at]));
        if (whole && batch.commit().ok()) return {};
    }  // rolled back
    // One at a time, so that the pages before the one that cannot be kept still are.
    for (const Waiting& page : pages) {
        const StoreResult stored = store_one(page);
        if (failed(stored)) return stored.status;
    }
    return {};
}

}  // namespace novel
