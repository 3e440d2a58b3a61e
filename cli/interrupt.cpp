#include "cli/interrupt.h"

#include <pthread.h>
#include <signal.h>

namespace novel::cli {
namespace {

sigset_t stop_signals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

StopOnInterrupt::StopOnInterrupt() {
    const sigset_t signals = stop_signals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    waiter_ = std::thread([this, signals] {
        int received = 0;
        sigwait(&signals, &received);
        // Also how the destructor ends this thread: it marks the stop first
        // and then sends SIGTERM here, so a stop requested now changes nothing.
        stop_.request_stop();
    });
}

StopOnInterrupt::~StopOnInterrupt() {
    if (!stop_.stop_requested()) {
        stop_.request_stop();
        pthread_kill(waiter_.native_handle(), SIGTERM);
    }
    waiter_.join();
    const sigset_t signals = stop_signals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace novel::cli
