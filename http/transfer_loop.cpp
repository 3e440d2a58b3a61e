#include "http/transfer_loop.h"

#include <algorithm>
#include <mutex>

namespace novel::curl {
namespace {
// The longest a wait sleeps without looking at the transfers: their stall
// limits are checked when the library calls back, at least this often.
constexpr int kLongestWaitMs = 1000;
}  // namespace

void initialise_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

TransferLoop::TransferLoop() {
    initialise_once();
    multi_.reset(curl_multi_init());
}

TransferLoop::~TransferLoop() {
    for (CURL* easy : added_) curl_multi_remove_handle(multi_.get(), easy);
}

TransferLoop& TransferLoop::of_this_thread() {
    thread_local TransferLoop loop;
    return loop;
}

bool TransferLoop::add(CURL* easy) {
    if (!multi_ || curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) return false;
    added_.push_back(easy);
    return true;
}

void TransferLoop::remove(CURL* easy) {
    const auto found = std::find(added_.begin(), added_.end(), easy);
    if (found == added_.end()) return;
    curl_multi_remove_handle(multi_.get(), easy);
    added_.erase(found);
}

std::vector<std::pair<CURL*, CURLcode>> TransferLoop::wait_any(const std::stop_token& stop) {
    std::vector<std::pair<CURL*, CURLcode>> ended;
    if (!multi_) return ended;
    CURLM* multi = multi_.get();
    // Wakes the poll below from whichever thread asks to stop.
    const std::stop_callback wake(stop, [multi] { curl_multi_wakeup(multi); });
    while (ended.empty() && !added_.empty() && !stop.stop_requested()) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) break;
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE) {
                ended.emplace_back(message->easy_handle, message->data.result);
            }
        }
        if (!ended.empty()) break;
        if (curl_multi_poll(multi, nullptr, 0, kLongestWaitMs, nullptr) != CURLM_OK) break;
    }
    return ended;
}

CURLcode TransferLoop::run(CURL* easy, const std::stop_token& stop) {
    if (!add(easy)) return CURLE_FAILED_INIT;
    CURLcode result = CURLE_ABORTED_BY_CALLBACK;
    while (!stop.stop_requested()) {
        const std::vector<std::pair<CURL*, CURLcode>> ended = wait_any(stop);
        if (ended.empty() && !stop.stop_requested()) {
            result = CURLE_FAILED_INIT;  // the multi handle itself failed
            break;
        }
        if (!ended.empty()) {
            result = ended.front().second;
            break;
        }
    }
    remove(easy);
    return result;
}

}  // namespace novel::curl
