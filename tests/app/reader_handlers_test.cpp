#include "app/reader_handlers.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "chapter/program_state.h"

using namespace std::string_view_literals;

namespace novel {
namespace {

// GBK bytes, split where a hex escape would swallow the next letter or digit.
constexpr auto PLACEHOLDER_GBK =
    "\xD4\xDA\xD5\xE2\xC0\xEF\xD5\xB3\xCC\xF9\xD0\xA1\xCB\xB5\xC1\xB4\xBD\xD3\xA3\xAC"
    "\xBD\xF6\xD6\xA7\xB3\xD6\xC8\xA4\xB1\xCA\xB8\xF3\xC1\xB4\xBD\xD3"sv;
constexpr auto NOTICE_GBK =
    "\xB1\xBE\xC8\xED\xBC\xFE\xBD\xF6\xB9\xA9\xD1\xA7\xCF\xB0\xBD\xBB\xC1\xF7\xA3\xAC\xC7\xEB"
    "\xCE\xF0\xD3\xC3\xD3\xDA\xCE\xA5\xB7\xA8\xCD\xBE\xBE\xB6\xA3\xAC"
    "CorvaneQQ\xA3\xBA"
    "10001"sv;

// Records every window operation in order; controls of the reader window only.
class FakeWindows final : public WindowOperations {
public:
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, int, std::less<>> lefts, tops;
    int width = 459;
    int height = 286;
    std::vector<std::string>* log;

    explicit FakeWindows(std::vector<std::string>* shared_log) : log(shared_log) {}

    std::string read_text(Window, std::string_view control) const override {
        auto found = texts.find(control);
        return found == texts.end() ? std::string() : found->second;
    }
    void write_text(Window, std::string_view control, std::string_view text) override {
        log->push_back("text " + std::string(control));
        texts[std::string(control)] = text;
    }
    void write_text_colour(Window, std::string_view control, RgbColour colour) override {
        log->push_back("colour " + std::string(control) + " " + std::to_string(colour));
    }
    int window_width(Window) const override { return width; }
    int window_height(Window) const override { return height; }
    int control_left(Window, std::string_view control) const override {
        return lefts.find(control)->second;
    }
    int control_top(Window, std::string_view control) const override {
        return tops.find(control)->second;
    }
    void set_control_left(Window, std::string_view control, int left) override {
        log->push_back("left " + std::string(control) + " " + std::to_string(left));
        lefts[std::string(control)] = left;
    }
    void set_control_top(Window, std::string_view control, int top) override {
        log->push_back("top " + std::string(control) + " " + std::to_string(top));
        tops[std::string(control)] = top;
    }
    void set_control_width(Window, std::string_view control, int value) override {
        log->push_back("width " + std::string(control) + " " + std::to_string(value));
    }
    void set_control_height(Window, std::string_view control, int value) override {
        log->push_back("height " + std::string(control) + " " + std::to_string(value));
    }
    void open_window(Window window, bool modal) override {
        log->push_back("open " + std::to_string(static_cast<int>(window)) +
                       (modal ? " modal" : " modeless"));
    }
    void message_box(std::string_view text) override {
        log->push_back("message " + std::string(text));
    }
};

class FakeServices final : public ReaderServices {
public:
    std::int32_t identifier_to_return = 7;
    std::vector<std::string> links;
    std::vector<std::string>* log;

    explicit FakeServices(std::vector<std::string>* shared_log) : log(shared_log) {}

    void show_chapter(std::string_view link) override {
        links.emplace_back(link);
        log->push_back("show " + std::string(link));
    }
    std::int32_t register_hot_key(std::uint32_t modifiers, std::uint32_t key) override {
        log->push_back("hot key " + std::to_string(modifiers) + " " + std::to_string(key));
        return identifier_to_return;
    }
};

class ReaderHandlers : public ::testing::Test {
protected:
    void SetUp() override { create_globals(); }
    void TearDown() override { release_globals(); }

    std::vector<std::string> log;
    FakeWindows windows{&log};
    FakeServices services{&log};
};

TEST_F(ReaderHandlers, NoticeComesBeforeTheHotKeyAndTheIdentifierIsKeptAsItComes) {
    EXPECT_EQ(globals().paging_hot_key_id, 0);
    for (const std::int32_t returned : {7, 0, -1}) {
        log.clear();
        services.identifier_to_return = returned;
        init_reader_window(windows, services);
        const std::vector<std::string> expected{"message " + std::string(NOTICE_GBK),
                                                "hot key 0 40"};
        EXPECT_EQ(log, expected);
        EXPECT_EQ(globals().paging_hot_key_id, returned);
    }
}

TEST_F(ReaderHandlers, PlaceholderTextIsByteExact) {
    EXPECT_EQ(link_placeholder(), PLACEHOLDER_GBK);
    EXPECT_EQ(startup_notice(), NOTICE_GBK);
}

TEST_F(ReaderHandlers, PlaceholderFollowsTheFocus) {
    const std::string placeholder(PLACEHOLDER_GBK);
    struct Case {
        std::string before;
        bool focus_in;
        std::string after;
        std::vector<std::string> writes;
    };
    const std::string grey = "colour 编辑框2 " + std::to_string(0xC0C0C0);
    const std::vector<Case> cases{
        {placeholder, true, "", {"text 编辑框2", "colour 编辑框2 0"}},
        {placeholder + " ", true, placeholder + " ", {}},
        {"https://x/1.html", true, "https://x/1.html", {}},
        {"", true, "", {}},
        {"", false, placeholder, {"text 编辑框2", grey}},
        {" ", false, " ", {}},
        {"https://x/1.html", false, "https://x/1.html", {}},
        {placeholder, false, placeholder, {}},
    };
    for (const Case& one : cases) {
        log.clear();
        windows.texts["编辑框2"] = one.before;
        if (one.focus_in) {
            clear_placeholder(windows);
        } else {
            restore_placeholder(windows);
        }
        EXPECT_EQ(windows.texts["编辑框2"], one.after) << one.before << " " << one.focus_in;
        EXPECT_EQ(log, one.writes) << one.before << " " << one.focus_in;
    }
}

TEST_F(ReaderHandlers, TypedPlaceholderIsRemovedOnTheNextFocus) {
    windows.texts["编辑框2"] = "";
    restore_placeholder(windows);
    clear_placeholder(windows);
    EXPECT_EQ(windows.texts["编辑框2"], "");
    windows.texts["编辑框2"] = std::string(PLACEHOLDER_GBK);  // typed by hand, in black
    clear_placeholder(windows);
    EXPECT_EQ(windows.texts["编辑框2"], "");
}

TEST_F(ReaderHandlers, FetchPassesTheLinkBoxUntouched) {
    // Leaving an empty box first restores the placeholder, which is then fetched.
    windows.texts["编辑框2"] = "";
    restore_placeholder(windows);
    fetch_entered_link(windows, services);
    windows.texts["编辑框2"] = "  https://www.qubige.com/1_2/3.html \t";
    fetch_entered_link(windows, services);
    const std::vector<std::string> expected{std::string(PLACEHOLDER_GBK),
                                            "  https://www.qubige.com/1_2/3.html \t"};
    EXPECT_EQ(services.links, expected);
}

TEST_F(ReaderHandlers, PagingUsesTheNextLinkAndLeavesTheLinkBoxAlone) {
    page_next(services);
    globals().next_chapter_link = "https://www.qubige.com/1_2/4.html";
    page_next(services);
    const std::vector<std::string> expected{"", "https://www.qubige.com/1_2/4.html"};
    EXPECT_EQ(services.links, expected);
    for (const std::string& entry : log) {
        EXPECT_EQ(entry.rfind("show ", 0), 0u) << entry;
    }
}

TEST_F(ReaderHandlers, HotKeyPagesOnlyForItsOwnIdentifier) {
    init_reader_window(windows, services);  // identifier 7
    globals().next_chapter_link = "https://www.qubige.com/9/10.html";
    on_paging_hot_key(services, 8, 0);
    on_paging_hot_key(services, 0, 0);
    EXPECT_TRUE(services.links.empty());
    on_paging_hot_key(services, 7, 12345);
    ASSERT_EQ(services.links.size(), 1u);
    EXPECT_EQ(services.links[0], "https://www.qubige.com/9/10.html");
}

TEST_F(ReaderHandlers, DownloadWindowOpensModeless) {
    open_download_window(windows);
    EXPECT_EQ(log, std::vector<std::string>{"open 1 modeless"});
}

TEST_F(ReaderHandlers, RelayoutWritesEightValuesInOrder) {
    windows.lefts["按钮3"] = 304;
    windows.tops["按钮3"] = 216;
    relayout_reader_window(windows);
    const std::vector<std::string> at_design_size{
        "width 编辑框1 439", "height 编辑框1 206", "top 编辑框2 206", "top 按钮3 206",
        "left 按钮2 394",    "top 按钮2 206",      "left 按钮1 354",  "top 按钮1 206"};
    EXPECT_EQ(log, at_design_size);

    // No bound of its own: a window lower than 80 pixels gives a negative height.
    log.clear();
    windows.width = 10;
    windows.height = 50;
    relayout_reader_window(windows);
    const std::vector<std::string> tiny{
        "width 编辑框1 -10", "height 编辑框1 -30", "top 编辑框2 -30", "top 按钮3 -30",
        "left 按钮2 394",    "top 按钮2 -30",      "left 按钮1 354",  "top 按钮1 -30"};
    EXPECT_EQ(log, tiny);
}

}  // namespace
}  // namespace novel
