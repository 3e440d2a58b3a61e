#include "http/concurrent_requests.h"

#include "http/http_request.h"
#include "http/transfer_loop.h"

namespace novel {

struct ConcurrentRequests::Loop {
    curl::TransferLoop transfers;
};

ConcurrentRequests::ConcurrentRequests() : loop_(std::make_unique<Loop>()) {}

ConcurrentRequests::~ConcurrentRequests() {
    for (auto& [id, request] : requests_)
        request->finish_send(loop_->transfers, CURLE_ABORTED_BY_CALLBACK);
}

ConcurrentRequests::Id ConcurrentRequests::start(std::string_view url) {
    const Id id = next_id_++;
    auto request = std::make_unique<HttpRequestObject>();
    std::string headers;
    set_up_request(*request, url, {}, headers);
    if (request->start_send(loop_->transfers)) {
        requests_.emplace(id, std::move(request));
    } else {
        failed_to_start_.push_back(id);
    }
    return id;
}

void ConcurrentRequests::abandon(Id id) {
    const auto found = requests_.find(id);
    if (found == requests_.end()) return;
    found->second->finish_send(loop_->transfers, CURLE_ABORTED_BY_CALLBACK);
    requests_.erase(found);
}

std::vector<ConcurrentRequests::Answer> ConcurrentRequests::wait(const std::stop_token& stop) {
    std::vector<Answer> answers;
    for (const Id id : failed_to_start_)
        answers.push_back({.id = id, .response = {.error = TransportError::other}});
    failed_to_start_.clear();
    if (!answers.empty() || requests_.empty()) return answers;

    for (const auto& [easy, result] : loop_->transfers.wait_any(stop)) {
        for (auto request = requests_.begin(); request != requests_.end(); ++request) {
            if (request->second->transfer_handle() != easy) continue;
            HttpRequestObject& object = *request->second;
            object.finish_send(loop_->transfers, result);
            answers.push_back({.id = request->first,
                               .response = {.body = object.response_body(),
                                            .status = object.status(),
                                            .error = object.transport_error(),
                                            .headers = object.all_response_headers()}});
            requests_.erase(request);
            break;
        }
    }
    return answers;
}

}  // namespace novel
