#pragma once
// System-wide hot keys over X11: the key is grabbed on the root window on a
// connection of our own, whose socket the Qt event loop watches. Presses that
// reach our windows the ordinary way never count.

#include <cstdint>
#include <functional>
#include <memory>

namespace novel {

// Modifier flags of a hot-key request; the key itself is a virtual-key code
// (0x25..0x28 are Left, Up, Right, Down).
inline constexpr std::uint32_t HOT_KEY_ALT = 0x1;
inline constexpr std::uint32_t HOT_KEY_CONTROL = 0x2;
inline constexpr std::uint32_t HOT_KEY_SHIFT = 0x4;
inline constexpr std::uint32_t HOT_KEY_SUPER = 0x8;

// Needs a QCoreApplication. Without an X display every registration fails.
class GlobalHotKeys {
public:
    using Handler = std::function<void(std::int32_t identifier)>;

    GlobalHotKeys();
    ~GlobalHotKeys();
    // The socket notifier calls back into this object, so it stays put.
    GlobalHotKeys(const GlobalHotKeys&) = delete;
    GlobalHotKeys& operator=(const GlobalHotKeys&) = delete;

    [[nodiscard]] bool has_display() const;

    // Takes the key with exactly these modifiers, whatever the state of
    // NumLock and CapsLock. Returns an identifier above 0 that on_press is
    // called with for each press, or 0 when the key is unknown or another
    // client holds it already.
    [[nodiscard]] std::int32_t register_hot_key(std::uint32_t modifiers, std::uint32_t virtual_key,
                                                Handler on_press);
    // Gives the key back to the desktop; an unknown identifier does nothing.
    void unregister_hot_key(std::int32_t identifier);

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace novel
