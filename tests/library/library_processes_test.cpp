// The library under more than one process: a writer killed with SIGKILL at
// random moments leaves a sound file with whole pages, and two writers at
// once both finish with every page there.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "library/library.h"
#include "tests/library/library_test_support.h"

namespace novel::testing {
namespace {

pid_t start_writer(const std::string& file, const std::string& book, long first, long count) {
    const std::string first_text = std::to_string(first);
    const std::string count_text = std::to_string(count);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(LIBRARY_WRITER, LIBRARY_WRITER, file.c_str(), book.c_str(), first_text.c_str(),
                count_text.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return child;
}

// The child's exit code, or -signal when a signal ended it.
int wait_for(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return -1000;
    if (WIFSIGNALED(status)) return -WTERMSIG(status);
    return WEXITSTATUS(status);
}

TEST(LibraryProcesses, AWriterKilledAtAnyMomentLeavesASoundFile) {
    TempFolder folder;
    const std::string file = (folder.path() / "library.sqlite3").string();
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> moment_ms(30, 300);
    std::int64_t pages_before = 0;
    for (int round = 0; round < 6; ++round) {
        const pid_t writer = start_writer(file, "k", round * 1'000'000L + 1, 0);
        ASSERT_GT(writer, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(moment_ms(random)));
        ASSERT_EQ(::kill(writer, SIGKILL), 0);
        ASSERT_EQ(wait_for(writer), -SIGKILL) << "the writer ended before it was killed";

        OpenResult opened = open_library(file);
        ASSERT_EQ(opened.outcome, OpenOutcome::opened) << opened.status.message;
        const IntegrityReport report = opened.library->check_integrity();
        ASSERT_TRUE(report.status.ok()) << report.status.message;
        EXPECT_EQ(report.integrity_check, "ok") << "round " << round;
        EXPECT_EQ(report.damaged_pages, 0) << "round " << round;
        EXPECT_GE(report.pages, pages_before) << "committed pages were lost";
        pages_before = report.pages;
    }
    EXPECT_GT(pages_before, 0) << "no writer got as far as one page";
}

TEST(LibraryProcesses, TwoWritersAtOnceBothFinishWithEveryPage) {
    TempFolder folder;
    const std::string file = (folder.path() / "library.sqlite3").string();
    // Both make the file and its tables at once, too.
    const pid_t first = start_writer(file, "two", 1, 500);
    const pid_t second = start_writer(file, "two", 1001, 500);
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    EXPECT_EQ(wait_for(first), 0);
    EXPECT_EQ(wait_for(second), 0);

    std::unique_ptr<Library> library = open_or_fail(file);
    const Bookshelf shelf = library->bookshelf();
    ASSERT_EQ(shelf.rows.size(), 1u);
    EXPECT_EQ(shelf.rows[0].pages, 1000);
    EXPECT_EQ(shelf.rows[0].book.first_fetched, 1);
    EXPECT_EQ(shelf.rows[0].book.last_fetched, 1500);
    const IntegrityReport report = library->check_integrity();
    EXPECT_EQ(report.integrity_check, "ok");
    EXPECT_EQ(report.damaged_pages, 0);
    // A file in the middle of being made is not a broken one: nobody set it aside.
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".broken"), std::string::npos)
            << entry.path();
    }
}

}  // namespace
}  // namespace novel::testing
