#include "app/reader_handlers.h"

#include "chapter/program_state.h"
#include "platform/gbk.h"

namespace novel {

namespace {

constexpr int CONTENT_MARGIN_WIDTH = 20;
constexpr int CONTENT_MARGIN_HEIGHT = 80;
constexpr int BOTTOM_ROW_OFFSET = 80;
constexpr int DOWNLOAD_BUTTON_SHIFT = 50;
constexpr int NEXT_PAGE_BUTTON_SHIFT = 90;

}  // namespace

const std::string& link_placeholder() {
    static const std::string text = utf16_to_gbk(u"在这里粘贴小说链接，仅支持趣笔阁链接");
    return text;
}

const std::string& startup_notice() {
    static const std::string text =
        utf16_to_gbk(u"本软件仅供学习交流，请勿用于违法途径，CorvaneQQ：") +
        std::string(CONTACT_NUMBER);
    return text;
}

void init_reader_window(WindowOperations& windows, ReaderServices& services) {
    windows.message_box(startup_notice());
    // Stored as it comes: a failed registration leaves Down without effect,
    // and "下一页" still pages.
    globals().paging_hot_key_id = services.register_hot_key(NO_MODIFIERS, VIRTUAL_KEY_DOWN);
}

void on_paging_hot_key(ReaderServices& services, std::int32_t identifier, std::int32_t /*second*/) {
    if (identifier == globals().paging_hot_key_id) {
        services.show_chapter(globals().next_chapter_link);
    }
}

void clear_placeholder(WindowOperations& windows) {
    if (windows.read_text(Window::reader, LINK_BOX) == link_placeholder()) {
        windows.write_text(Window::reader, LINK_BOX, "");
        windows.write_text_colour(Window::reader, LINK_BOX, USER_TEXT_COLOUR);
    }
}

void restore_placeholder(WindowOperations& windows) {
    if (windows.read_text(Window::reader, LINK_BOX).empty()) {
        windows.write_text(Window::reader, LINK_BOX, link_placeholder());
        windows.write_text_colour(Window::reader, LINK_BOX, PLACEHOLDER_COLOUR);
    }
}

void fetch_entered_link(WindowOperations& windows, ReaderServices& services) {
    const std::string link = windows.read_text(Window::reader, LINK_BOX);
    services.show_chapter(link);
}

void page_next(ReaderServices& services) { services.show_chapter(globals().next_chapter_link); }

void open_download_window(WindowOperations& windows) {
    windows.open_window(Window::download, /*modal=*/false);
}

void relayout_reader_window(WindowOperations& windows) {
    const int width = windows.window_width(Window::reader);
    const int height = windows.window_height(Window::reader);
    windows.set_control_width(Window::reader, CONTENT_BOX, width - CONTENT_MARGIN_WIDTH);
    windows.set_control_height(Window::reader, CONTENT_BOX, height - CONTENT_MARGIN_HEIGHT);
    windows.set_control_top(Window::reader, LINK_BOX, height - BOTTOM_ROW_OFFSET);
    windows.set_control_top(Window::reader, FETCH_BUTTON, height - BOTTOM_ROW_OFFSET);
    windows.set_control_left(
        Window::reader, NEXT_PAGE_BUTTON,
        windows.control_left(Window::reader, FETCH_BUTTON) + NEXT_PAGE_BUTTON_SHIFT);
    windows.set_control_top(Window::reader, NEXT_PAGE_BUTTON,
                            windows.control_top(Window::reader, FETCH_BUTTON));
    windows.set_control_left(
        Window::reader, DOWNLOAD_BUTTON,
        windows.control_left(Window::reader, FETCH_BUTTON) + DOWNLOAD_BUTTON_SHIFT);
    windows.set_control_top(Window::reader, DOWNLOAD_BUTTON,
                            windows.control_top(Window::reader, FETCH_BUTTON));
}

}  // namespace novel
