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
        // Every signal is taken here until the end: a second Ctrl-C while
        // the run winds down must not stay pending and kill the process later.
        while (true) {
            int received = 0;
            sigwait(&signals, &received);
            if (ending_.load()) return;
            stop_.request_stop();
        }
    });
}

StopOnInterrupt::~StopOnInterrupt() {
    ending_.store(true);
    pthread_kill(waiter_.native_handle(), SIGTERM);
    waiter_.join();
    // Once stopped by a signal, the tool ends with its own status: signals
    // still pending, or sent from now on, are dropped rather than obeyed.
    if (stop_.stop_requested()) {
        signal(SIGINT, SIG_IGN);
        signal(SIGTERM, SIG_IGN);
    }
    const sigset_t signals = stop_signals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace novel::cli
