#pragma once
// Several GETs at once on one pool of connections to the site, each sent
// exactly as http_request(url) sends it. Used from one thread.

#include <cstdint>
#include <map>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "http/request_object.h"

namespace novel {

class ConcurrentRequests {
public:
    using Id = std::uint64_t;

    struct Answer {
        Id id = 0;
        HttpResponse response;
    };

    ConcurrentRequests();
    // Requests still running are abandoned.
    ~ConcurrentRequests();
    ConcurrentRequests(const ConcurrentRequests&) = delete;
    ConcurrentRequests& operator=(const ConcurrentRequests&) = delete;

    // Starts a GET of url. A request that cannot even start ends at the
    // next wait with TransportError::other.
    [[nodiscard]] Id start(std::string_view url);
    // Drops a running request; its connection is closed.
    void abandon(Id id);
    [[nodiscard]] std::size_t running() const { return requests_.size(); }

    // Runs the requests until at least one ends or stop is requested, and
    // returns those that ended.
    [[nodiscard]] std::vector<Answer> wait(const std::stop_token& stop);

private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
    std::map<Id, std::unique_ptr<HttpRequestObject>> requests_;
    std::vector<Id> failed_to_start_;
    Id next_id_ = 1;
};

}  // namespace novel
