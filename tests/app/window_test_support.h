#pragma once
// Shared by the window tests: the windows with message boxes replaced, fake
// reader services, and a wait that keeps the event loop running.

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/gbk_qstring.h"
#include "app/qt_window_operations.h"
#include "app/reader_handlers.h"
#include "chapter/program_state.h"

namespace novel::testing {

// Message boxes are recorded, never shown, so no test blocks on one.
class TestWindows final : public QtWindowOperations {
public:
    using QtWindowOperations::QtWindowOperations;
    std::vector<std::string> messages;
    void message_box(std::string_view text) override { messages.emplace_back(text); }

    template <typename Widget>
    [[nodiscard]] Widget* find(Window window, std::string_view name) const {
        return qobject_cast<Widget*>(control(window, name));
    }
};

class RecordingServices final : public ReaderServices {
public:
    std::int32_t hot_key_identifier = 5;
    std::vector<std::string> links;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hot_keys;

    void show_chapter(std::string_view link) override { links.emplace_back(link); }
    std::int32_t register_hot_key(std::uint32_t modifiers, std::uint32_t key) override {
        hot_keys.emplace_back(modifiers, key);
        return hot_key_identifier;
    }
};

// Runs the event loop until done() holds or five seconds have passed.
inline bool wait_until(const std::function<bool()>& done, int milliseconds = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

[[nodiscard]] inline QString utf8(std::string_view text) { return qstring_from_utf8(text); }

// The body of main() for the window tests. Listing the tests, as test
// discovery does, needs no QApplication and so no display.
inline int run_window_tests(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace novel::testing
