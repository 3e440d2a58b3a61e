// The job handle: results and progress arrive on the window thread, a handle
// dropped while its job runs returns at once, and nothing the job says
// afterwards reaches anybody.

#include "app/job.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "app/program_windows.h"
#include "app/reader_window.h"
#include "tests/app/window_test_support.h"

namespace novel::testing {
namespace {
using namespace std::chrono_literals;

TEST(JobHandle, ProgressAndResultArriveOnTheWindowThreadInOrder) {
    JobHandle job;
    std::vector<int> seen;
    std::vector<bool> on_window_thread;
    const auto note = [&](int value) {
        seen.push_back(value);
        on_window_thread.push_back(QThread::currentThread() == qApp->thread());
    };
    job.start(
        [&note](const JobLink& run) {
            for (int step = 1; step <= 3; ++step) run.post([&note, step] { note(step); });
            return 10;
        },
        [&note](int result) { note(result); });
    EXPECT_TRUE(job.running());
    ASSERT_TRUE(wait_until([&] { return !job.running(); }));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 10}));
    EXPECT_EQ(on_window_thread, std::vector<bool>(4, true));
}

TEST(JobHandle, ARunCutLooseOrAbandonedDeliversNothing) {
    auto finished = std::make_shared<std::atomic<int>>(0);
    int delivered = 0;
    {
        JobHandle job;
        job.start(
            [finished](const JobLink& run) {
                std::this_thread::sleep_for(200ms);  // heeds no stop
                run.post([] {});
                ++*finished;
                return 1;
            },
            [&delivered](int) { ++delivered; });
        // A second run replaces the first: only its result counts.
        job.start(
            [finished](const JobLink& run) {
                while (!run.stop_token().stop_requested()) std::this_thread::sleep_for(5ms);
                ++*finished;
                return 2;
            },
            [&delivered](int result) { delivered += result * 100; });
    }
    ASSERT_TRUE(wait_until([&] { return *finished == 2; }));
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(delivered, 0);
}

TEST(JobHandle, ClosingTheReaderWhileAFetchIgnoresItsStopReturnsAtOnce) {
    RecordingSeams recorded;
    auto fetch_done = std::make_shared<std::atomic<bool>>(false);
    recorded.fetch = [fetch_done](const std::string& link, std::stop_token) {
        std::this_thread::sleep_for(2s);  // a name lookup does not listen
        *fetch_done = true;
        FetchedChapter fetched;
        fetched.status = 200;
        fetched.page = R"(<div id="content">)";
        fetched.chapter.text = link;
        return fetched;
    };
    auto windows = std::make_unique<ProgramWindows>(recorded.seams());
    windows->open_reader_window();
    windows->reader_window()->link_box->setText(QStringLiteral("https://www.qubige.com/1/1.html"));
    windows->reader_window()->fetch_button->click();
    ASSERT_TRUE(wait_until([&] { return recorded.fetched_links().size() == 1; }));

    QElapsedTimer clock;
    clock.start();
    windows->reader_window()->close();
    windows.reset();
    EXPECT_LT(clock.elapsed(), 100);

    // The fetch ends later and finds no window to write to.
    ASSERT_TRUE(wait_until([&] { return fetch_done->load(); }, 4000));
    QTest::qWait(100);
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
