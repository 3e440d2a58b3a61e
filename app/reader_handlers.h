#pragma once
// The reader window's handlers. They reach the controls only through
// WindowOperations and the rest of the program only through ReaderServices,
// so every one of them runs without a screen.

#include <cstdint>
#include <string>
#include <string_view>

#include "app/window_operations.h"

namespace novel {

inline constexpr std::string_view CONTACT_NUMBER = "10001";

// Hot keys are asked for with the usual modifier flags and virtual-key codes.
inline constexpr std::uint32_t NO_MODIFIERS = 0;
inline constexpr std::uint32_t VIRTUAL_KEY_DOWN = 0x28;

inline constexpr RgbColour PLACEHOLDER_COLOUR = 0xC0C0C0;
inline constexpr RgbColour USER_TEXT_COLOUR = 0x000000;

// The reader window's controls (UTF-8 names).
inline constexpr std::string_view CONTENT_BOX = "编辑框1";
inline constexpr std::string_view LINK_BOX = "编辑框2";
inline constexpr std::string_view FETCH_BUTTON = "按钮3";
inline constexpr std::string_view DOWNLOAD_BUTTON = "按钮1";
inline constexpr std::string_view NEXT_PAGE_BUTTON = "按钮2";
inline constexpr std::string_view LAYOUT_TIMER = "时钟1";
inline constexpr std::string_view HOT_KEY_LABEL = "标签1";

// GBK texts.
[[nodiscard]] const std::string& link_placeholder();
[[nodiscard]] const std::string& startup_notice();

// What the handlers need beyond the controls: the reading itself and the
// system-wide hot key. The program passes its real ones, tests their fakes.
class ReaderServices {
public:
    virtual ~ReaderServices() = default;
    // Fetches link into the content box and moves next_chapter_link on.
    virtual void show_chapter(std::string_view link) = 0;
    // Takes a system-wide hot key whose presses reach on_paging_hot_key with
    // the identifier returned here; 0 when the key cannot be taken.
    [[nodiscard]] virtual std::int32_t register_hot_key(std::uint32_t modifiers,
                                                        std::uint32_t virtual_key) = 0;
};

// The reader window was created: the notice first, then the hot key, so Down
// cannot page before the notice is dismissed.
void init_reader_window(WindowOperations& windows, ReaderServices& services);
// A hot-key notification reached the hot-key label.
void on_paging_hot_key(ReaderServices& services, std::int32_t identifier, std::int32_t second);
// The link box gains / loses the input focus.
void clear_placeholder(WindowOperations& windows);
void restore_placeholder(WindowOperations& windows);
// 按钮3 "获取".
void fetch_entered_link(WindowOperations& windows, ReaderServices& services);
// 按钮2 "下一页".
void page_next(ReaderServices& services);
// 按钮1 "下载".
void open_download_window(WindowOperations& windows);
// 时钟1, every 100 ms: the content box and the bottom row follow the window.
void relayout_reader_window(WindowOperations& windows);

}  // namespace novel
