// The X11 hot key against a real X server (run under xvfb-run), with real
// key presses sent through XTEST by xdotool.

#include "platform/hot_key.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdlib>
#include <string>
#include <vector>

// Xlib last: its macros clash with Qt's headers.
#include <X11/Xlib.h>

namespace novel {
namespace {

constexpr std::uint32_t DOWN = 0x28;

void press(const std::string& keys) {
    ASSERT_EQ(std::system(("xdotool key " + keys).c_str()), 0) << keys;
}

// Runs the event loop until count presses have arrived or two seconds passed.
void wait_for_presses(const std::vector<std::int32_t>& presses, std::size_t count) {
    QElapsedTimer clock;
    clock.start();
    while (presses.size() < count && clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// The modifier and lock state the X server holds right now.
unsigned server_modifier_state() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 0;
    ::Window root = 0, child = 0;
    int root_x = 0, root_y = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &root, &child, &root_x, &root_y, &x, &y,
                  &mask);
    XCloseDisplay(display);
    return mask;
}

class HotKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (!hot_keys.has_display()) GTEST_SKIP() << "no X display";
        identifier = hot_keys.register_hot_key(
            0, DOWN, [this](std::int32_t pressed) { presses.push_back(pressed); });
        ASSERT_GT(identifier, 0);
    }

    GlobalHotKeys hot_keys;
    std::int32_t identifier = 0;
    std::vector<std::int32_t> presses;
};

TEST_F(HotKeys, DownReachesTheHandlerWithItsIdentifier) {
    press("Down");
    press("Down");
    wait_for_presses(presses, 2);
    EXPECT_EQ(presses, (std::vector<std::int32_t>{identifier, identifier}));
}

TEST_F(HotKeys, LockKeysDoNotMatter) {
    press("Num_Lock");
    ASSERT_NE(server_modifier_state() & Mod2Mask, 0u) << "NumLock did not lock";
    press("Down");
    press("Caps_Lock");
    ASSERT_NE(server_modifier_state() & LockMask, 0u) << "CapsLock did not lock";
    press("Down");
    press("Num_Lock");
    press("Down");
    press("Caps_Lock");
    ASSERT_EQ(server_modifier_state() & (Mod2Mask | LockMask), 0u);
    wait_for_presses(presses, 3);
    EXPECT_EQ(presses.size(), 3u);
}

TEST_F(HotKeys, OtherModifiersAndOtherKeysDoNotCount) {
    // X delivers in order: once the plain Down has arrived, the others would have too.
    press("shift+Down");
    press("ctrl+Down");
    press("Up");
    press("Down");
    wait_for_presses(presses, 1);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(presses, std::vector<std::int32_t>{identifier});
}

TEST_F(HotKeys, AKeyHeldByAnotherClientCannotBeTaken) {
    GlobalHotKeys other;
    std::vector<std::int32_t> other_presses;
    EXPECT_EQ(other.register_hot_key(
                  0, DOWN, [&](std::int32_t pressed) { other_presses.push_back(pressed); }),
              0);
    // The failed attempt left the first grab whole.
    press("Down");
    wait_for_presses(presses, 1);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(presses, std::vector<std::int32_t>{identifier});
    EXPECT_TRUE(other_presses.empty());
    // A different key is still free for the other client.
    EXPECT_GT(other.register_hot_key(0, 0x26, [](std::int32_t) {}), 0);
}

TEST_F(HotKeys, ClosingTheConnectionFreesItsKeys) {
    {
        GlobalHotKeys first;
        EXPECT_GT(first.register_hot_key(0, 0x26, [](std::int32_t) {}), 0);
        GlobalHotKeys second;
        EXPECT_EQ(second.register_hot_key(0, 0x26, [](std::int32_t) {}), 0);
    }
    GlobalHotKeys third;
    EXPECT_GT(third.register_hot_key(0, 0x26, [](std::int32_t) {}), 0);
}

TEST_F(HotKeys, AKeyGivenBackIsFreeForOthersAndPressesNoLongerArrive) {
    GlobalHotKeys other;
    EXPECT_EQ(other.register_hot_key(0, DOWN, [](std::int32_t) {}), 0);
    hot_keys.unregister_hot_key(identifier);
    hot_keys.unregister_hot_key(identifier + 100);  // unknown: nothing happens
    std::vector<std::int32_t> others;
    const std::int32_t taken =
        other.register_hot_key(0, DOWN, [&](std::int32_t pressed) { others.push_back(pressed); });
    ASSERT_GT(taken, 0);
    press("Down");
    wait_for_presses(others, 1);
    EXPECT_EQ(others, std::vector<std::int32_t>{taken});
    EXPECT_TRUE(presses.empty());
}

TEST_F(HotKeys, UnknownKeysAreRefusedAndShiftDownIsAKeyOfItsOwn) {
    EXPECT_EQ(hot_keys.register_hot_key(0, 0x7FFF, [](std::int32_t) {}), 0);
    const std::int32_t second = hot_keys.register_hot_key(
        HOT_KEY_SHIFT, DOWN, [this](std::int32_t pressed) { presses.push_back(pressed); });
    EXPECT_GT(second, identifier);
    press("shift+Down");
    wait_for_presses(presses, 1);
    EXPECT_EQ(presses, std::vector<std::int32_t>{second});
}

}  // namespace
}  // namespace novel

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
