// Ctrl-C ends the tool at once, with 130, while the system still looks up a
// name on a name server that never answers, also when pressed twice.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/silent_resolver.h"
#include "tests/support/site_server.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace novel {
namespace {
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Ended {
    int status = -1;
    Clock::duration after_interrupt{};
};

// Runs the tool, interrupts it once the lookup is under way, and times the end.
Ended interrupted_run(std::vector<std::string> words, const std::string& folder) {
    words.insert(words.begin(), NOVEL_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addchdir_np(&files, folder.c_str());
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&files);
    std::this_thread::sleep_for(500ms);
    const auto interrupted = Clock::now();
    kill(pid, SIGINT);
    // An impatient second Ctrl-C must not end it by the signal instead.
    std::this_thread::sleep_for(50ms);
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            Clock::now() - interrupted};
}

class QuietNameServer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
    }
    testing::TempFolder folder_;
};

TEST_F(QuietNameServer, ReadEndsWithinASecondOfCtrlC) {
    testing::SilentResolver resolver;
    ASSERT_TRUE(resolver.ready());
    const Ended ended =
        interrupted_run({"read", "https://name.never.answers.example/1.html"}, folder_.path());
    EXPECT_EQ(ended.status, 130);
    EXPECT_LT(ended.after_interrupt, 1s);
}

TEST_F(QuietNameServer, DownloadEndsWithinASecondOfCtrlC) {
    testing::SilentResolver resolver(/*hide_site_host=*/true);
    ASSERT_TRUE(resolver.ready());
    const Ended ended =
        interrupted_run({"download", "-q", "--no-library", "7_7001", "1", "9"}, folder_.path());
    EXPECT_EQ(ended.status, 130);
    EXPECT_LT(ended.after_interrupt, 1s);
}

}  // namespace
}  // namespace novel
