#pragma once
// A site held in memory for the range download's tests: fixture pages by
// address, with answers that can be scripted per address.

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "chapter/site.h"
#include "download/page_source.h"
#include "tests/support/fixture_site.h"

namespace novel::testing {

inline std::string site(std::string_view path) {
    return std::string(SITE_ORIGIN) + std::string(path);
}

class FakePages final : public PageSource {
public:
    explicit FakePages(const std::vector<fixture::FixturePage>& pages) {
        for (const fixture::FixturePage& page : pages) add(page.path, page.bytes);
    }

    void add(std::string_view path, std::string bytes) {
        pages_[site(path)] = PageAnswer{.body = std::move(bytes), .status = 200};
    }
    // The next answers for path, in order, before its page.
    void script(std::string_view path, std::vector<PageAnswer> answers) {
        auto& queue = scripted_[site(path)];
        queue.insert(queue.end(), answers.begin(), answers.end());
    }

    PageAnswer fetch(const std::string& link, std::stop_token stop) override {
        {
            const std::lock_guard lock(mutex_);
            fetched.push_back(link);
        }
        if (before_answer) before_answer(link, stop);
        if (stop.stop_requested()) return {.error = TransportError::stopped};
        if (auto queue = scripted_.find(link); queue != scripted_.end() && !queue->second.empty()) {
            PageAnswer answer = queue->second.front();
            queue->second.pop_front();
            return answer;
        }
        const auto page = pages_.find(link);
        if (page == pages_.end()) return {.body = "<html>404</html>", .status = 404};
        return page->second;
    }
    void slow_down() override { ++slow_downs; }

    std::vector<std::string> fetched;
    int slow_downs = 0;
    // Runs before each answer, on the run's thread (a test may block here).
    std::function<void(const std::string& link, std::stop_token stop)> before_answer;

private:
    std::mutex mutex_;
    std::map<std::string, PageAnswer> pages_;
    std::map<std::string, std::deque<PageAnswer>> scripted_;
};

}  // namespace novel::testing
