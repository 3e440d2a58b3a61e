// The real program under a fresh X server, inside the site namespace: a link
// pasted into the reader window, the download window opened, its boxes filled
// and "开始下载" clicked with real mouse and key events.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kMessageBoxTitle = "novel_reader";
constexpr const char* kReaderTitle = "Corvane免VIP小说下载器（仅支持趣笔阁www.qubige.com）";

// Runs an xdotool command; its output, or "" when it failed or timed out.
std::string xdotool(const std::string& arguments) {
    const std::string command = "timeout 20 xdotool " + arguments + " 2>/dev/null";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    if (pclose(pipe) != 0) output.clear();
    return output;
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class EndToEndDownload : public testing::Test {
protected:
    void SetUp() override {
        const char* program = std::getenv("NOVEL_READER");
        ASSERT_NE(program, nullptr) << "NOVEL_READER names the program to run";
        program_ = program;
        output_ = program_.parent_path() / "文本.txt";
        fs::remove_all(output_);
        // Settings of the test's own, starting missing: never the user's.
        config_ = program_.parent_path() / "download_end_to_end_config";
        fs::remove_all(config_);
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", config_.c_str(), 1), 0);
        server_ = std::make_unique<novel::fixture::FixtureSiteServer>(
            novel::fixture::fixture_site(), novel::fixture::SiteServerOptions{.port = 443});
        ASSERT_TRUE(server_->listening());

        std::string path = program_.string();
        char* argv[] = {path.data(), nullptr};
        ASSERT_EQ(posix_spawn(&pid_, path.c_str(), nullptr, nullptr, argv, environ), 0);
    }
    void TearDown() override {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        fs::remove_all(output_);
        fs::remove_all(config_);
    }

    // The program's visible window with exactly that title, waiting for it
    // to appear; "" when none does.
    [[nodiscard]] std::string window(const std::string& title) const {
        for (int attempt = 0; attempt < 200; ++attempt) {
            const std::string ids = xdotool("search --onlyvisible --pid " + std::to_string(pid_));
            std::size_t at = 0;
            while (at < ids.size()) {
                const std::size_t end = ids.find('\n', at);
                const std::string id = ids.substr(at, end - at);
                at = end == std::string::npos ? ids.size() : end + 1;
                if (!id.empty() && first_line(xdotool("getwindowname " + id)) == title) return id;
            }
            std::this_thread::sleep_for(100ms);
        }
        return {};
    }

    // Message boxes carry the program's name as their title; each is closed
    // with the key of its OK button once it has the focus.
    [[nodiscard]] bool dismiss_message_box() const {
        const std::string box = window(kMessageBoxTitle);
        if (box.empty()) return false;
        xdotool("windowfocus --sync " + box);
        xdotool("key --clearmodifiers Return");
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (xdotool("getwindowname " + box).empty() ||
                xdotool("search --onlyvisible --pid " + std::to_string(pid_)).find(box) ==
                    std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    static void click(const std::string& window_id, int x, int y) {
        xdotool("mousemove --sync --window " + window_id + " " + std::to_string(x) + " " +
                std::to_string(y) + " click 1");
    }
    static void type(const std::string& text) { xdotool("type --delay 20 '" + text + "'"); }

    fs::path program_;
    fs::path output_;
    fs::path config_;
    std::unique_ptr<novel::fixture::FixtureSiteServer> server_;
    pid_t pid_ = -1;
};

TEST_F(EndToEndDownload, ARangeChosenInTheWindowsEndsUpInTheFileBesideTheProgram) {
    ASSERT_TRUE(dismiss_message_box()) << "the start-up notice";
    const std::string reader = window(kReaderTitle);
    ASSERT_FALSE(reader.empty());

    click(reader, 40, 228);  // the link box
    type("https://www.qubige.com/123/1.html");
    click(reader, 368, 228);  // "下载"
    const std::string download = window("下载");
    ASSERT_FALSE(download.empty());

    click(download, 240, 24);   // "取当前阅读序号"
    click(download, 128, 104);  // the end-chapter box
    type("3");
    click(download, 244, 112);  // "开始下载": the run starts without a box to dismiss
    ASSERT_TRUE(dismiss_message_box()) << "the final box";

    // Chapter 2 of book 123 continues on a second page. Pages guessed ahead
    // were asked for too, but only the chain's are in the file.
    const std::vector<std::string> pages = {"/123/1.html", "/123/2.html", "/123/2_2.html",
                                            "/123/3.html"};
    const std::vector<std::string> requested = server_->requested_targets();
    for (const std::string& page : pages) {
        EXPECT_NE(std::find(requested.begin(), requested.end(), page), requested.end()) << page;
    }
    std::string expected;
    for (const std::string& path : pages) {
        for (const novel::fixture::FixturePage& page : novel::fixture::fixture_pages()) {
            if (page.path == path) expected += "\r\n" + page.clean_text;
        }
    }
    EXPECT_EQ(contents(output_), expected);
}

}  // namespace
