// Serves the fixture site on 127.0.0.1 until SIGTERM or SIGINT, appending
// each request target to a log file, for tests that run the real program
// as a process of its own:
//   serve_fixture_site LOG_FILE [PORT [DELAY_MS]]   (PORT defaults to 443)
// Prints "listening <port>" once it accepts connections. Every answer waits
// DELAY_MS (default 0), and one whose query is "slow" three seconds, for
// trying a window or a download that must stay responsive meanwhile.

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::cerr << "usage: serve_fixture_site LOG_FILE [PORT [DELAY_MS]]\n";
        return 2;
    }
    const int port = argc >= 3 ? std::stoi(argv[2]) : 443;
    const std::chrono::milliseconds delay(argc == 4 ? std::stoi(argv[3]) : 0);

    // Taken by sigwait below rather than by a handler, so stopping the server
    // happens on an ordinary thread; the server threads inherit the mask.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGTERM);
    sigaddset(&stop_signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    std::ofstream log(argv[1], std::ios::app | std::ios::binary);
    if (!log) {
        std::cerr << "serve_fixture_site: cannot open " << argv[1] << "\n";
        return 1;
    }
    std::mutex log_mutex;
    novel::fixture::FixtureSiteServer server(
        novel::fixture::fixture_site(),
        {.port = port,
         .on_request =
             [&](const std::string& target) {
                 const std::lock_guard lock(log_mutex);
                 log << target << '\n' << std::flush;
             },
         .answer =
             [delay](const std::string& target) {
                 return novel::fixture::SiteAnswer{
                     .delay = target.ends_with("?slow") ? std::chrono::milliseconds(3000) : delay};
             }});
    if (!server.listening()) {
        std::cerr << "serve_fixture_site: cannot listen on 127.0.0.1:" << port << "\n";
        return 1;
    }
    std::cout << "listening " << server.port() << std::endl;

    int received = 0;
    sigwait(&stop_signals, &received);
    server.stop();
    server.wait();
    return 0;
}
