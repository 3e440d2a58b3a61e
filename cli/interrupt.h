#pragma once
// Ctrl-C (SIGINT) and SIGTERM stop a run the way the stop button does: a
// thread of ours waits for the signal and requests the stop, so nothing
// happens inside a signal handler.

#include <atomic>
#include <stop_token>
#include <thread>

namespace novel::cli {

class StopOnInterrupt {
public:
    // Blocks the two signals for the calling thread and the threads it
    // starts from now on; construct it before any other thread exists.
    StopOnInterrupt();
    // Lets the signals through again; after a stop they are ignored instead.
    ~StopOnInterrupt();
    StopOnInterrupt(const StopOnInterrupt&) = delete;
    StopOnInterrupt& operator=(const StopOnInterrupt&) = delete;

    [[nodiscard]] std::stop_token token() const { return stop_.get_token(); }
    [[nodiscard]] bool interrupted() const { return stop_.stop_requested(); }

private:
    std::stop_source stop_;
    std::atomic<bool> ending_{false};
    std::thread waiter_;
};

}  // namespace novel::cli
