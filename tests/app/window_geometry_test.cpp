// Under a real X server with a window manager, so that windows have frames:
// restarting the program gives the reader back the size and place it was
// closed at, however many times.

#include <gtest/gtest.h>

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <memory>

#include "app/program_windows.h"
#include "app/reader_window.h"
#include "tests/app/window_test_support.h"

namespace novel::testing {
namespace {

class WindowManager {
public:
    WindowManager() {
        if (QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) return;
        manager_.start(QStringLiteral("openbox"), {});
        manager_.waitForStarted();
        QTest::qWait(500);  // until it manages new windows
    }
    ~WindowManager() {
        manager_.terminate();
        manager_.waitForFinished();
    }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

private:
    QProcess manager_;
};

TEST(WindowGeometry, TenRestartsLeaveTheReaderAsItWas) {
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) GTEST_SKIP() << "needs X11";
    const WindowManager manager;
    RecordingSeams recorded;
    std::vector<QRect> seen;
    for (int run = 0; run < 11; ++run) {
        ProgramWindows windows(recorded.seams());
        windows.open_reader_window();
        ReaderWindow* reader = windows.reader_window();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(reader));
        QTest::qWait(300);  // the frame is known and the fit done
        if (run == 0) {
            reader->setGeometry(120, 140, 700, 500);
            QTest::qWait(300);
        }
        seen.push_back(reader->geometry());
        reader->close();
    }
    for (std::size_t run = 2; run < seen.size(); ++run) {
        EXPECT_EQ(seen[run], seen[1]) << "run " << run;
    }
    EXPECT_EQ(seen[1].size(), QSize(700, 500));
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
