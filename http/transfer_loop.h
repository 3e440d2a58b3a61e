#pragma once
// Inside the http layer only: runs transfers on one multi handle, whose pool
// of connections they share, and lets a stop request from any thread end the
// wait at once instead of at the next time-out.

#include <stop_token>
#include <utility>
#include <vector>

#include "http/curl_handles.h"

namespace novel::curl {

class TransferLoop {
public:
    TransferLoop();
    // Transfers still added are taken off; their handles stay with their owners.
    ~TransferLoop();
    TransferLoop(const TransferLoop&) = delete;
    TransferLoop& operator=(const TransferLoop&) = delete;

    // The loop of the calling thread: its connections outlive each exchange
    // and are never used by two threads, which the transfer library forbids.
    [[nodiscard]] static TransferLoop& of_this_thread();

    [[nodiscard]] bool valid() const { return multi_ != nullptr; }

    // Runs one transfer to its end. CURLE_ABORTED_BY_CALLBACK when stop was
    // requested first (the transfer is abandoned, its connection closed).
    [[nodiscard]] CURLcode run(CURL* easy, const std::stop_token& stop);

    // For several transfers at once.
    [[nodiscard]] bool add(CURL* easy);
    void remove(CURL* easy);
    // Drives every added transfer until at least one ends or stop is
    // requested; returns those that ended with their results. They stay
    // added until removed.
    [[nodiscard]] std::vector<std::pair<CURL*, CURLcode>> wait_any(const std::stop_token& stop);

private:
    MultiPtr multi_;
    std::vector<CURL*> added_;
};

}  // namespace novel::curl
