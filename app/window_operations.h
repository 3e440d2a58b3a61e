#pragma once
// The window operations the handlers use, so that every handler can be run
// and tested without a screen. Texts are GBK; control names are the
// controls' own names (UTF-8), unique within their window only.

#include <cstdint>
#include <string>
#include <string_view>

namespace novel {

enum class Window { reader, download, instructions };

// 0xRRGGBB
using RgbColour = std::uint32_t;

class WindowOperations {
public:
    virtual ~WindowOperations() = default;

    [[nodiscard]] virtual std::string read_text(Window window, std::string_view control) const = 0;
    virtual void write_text(Window window, std::string_view control, std::string_view text) = 0;
    virtual void write_text_colour(Window window, std::string_view control, RgbColour colour) = 0;

    // Outer size of a window.
    [[nodiscard]] virtual int window_width(Window window) const = 0;
    [[nodiscard]] virtual int window_height(Window window) const = 0;

    [[nodiscard]] virtual int control_left(Window window, std::string_view control) const = 0;
    [[nodiscard]] virtual int control_top(Window window, std::string_view control) const = 0;
    virtual void set_control_left(Window window, std::string_view control, int left) = 0;
    virtual void set_control_top(Window window, std::string_view control, int top) = 0;
    virtual void set_control_width(Window window, std::string_view control, int width) = 0;
    virtual void set_control_height(Window window, std::string_view control, int height) = 0;

    // Creates and shows the window and runs its creation handler; a modal
    // open returns when the window is closed.
    virtual void open_window(Window window, bool modal) = 0;

    // One OK button, no icon, no owner; returns when dismissed.
    virtual void message_box(std::string_view text) = 0;
};

}  // namespace novel
