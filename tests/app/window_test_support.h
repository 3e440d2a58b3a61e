#pragma once
// Shared by the window tests: the program's windows with message boxes,
// the network, the hot key and the settings file replaced, and a wait that
// keeps the event loop running.

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/gbk_qstring.h"
#include "app/program_seams.h"

namespace novel::testing {

// Message boxes and hot-key requests are recorded, never shown or taken;
// chapter fetches are recorded and answered by fetch (by default an empty
// chapter), on the worker thread that runs them. Settings go to a file of
// their own that starts missing, so every test starts with the defaults.
class RecordingSeams {
public:
    QTemporaryDir settings_folder;
    std::vector<QString> messages;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> hot_keys;
    std::int32_t hot_key_identifier = 5;
    std::vector<QString> questions;
    bool answer = true;                   // to every question
    QString save_path;                    // what the save dialog answers
    std::vector<QString> proposed_paths;  // what it proposed
    std::function<FetchedChapter(const std::string& link, std::stop_token stop)> fetch;
    // The several-button questions and their answers, taken in order; the
    // first button once they run out.
    std::vector<QString> choice_questions;
    std::vector<int> choices;
    std::vector<std::int32_t> released_hot_keys;
    bool tick_notice_box = false;  // 「不再显示」 when the notice is dismissed

    [[nodiscard]] std::vector<std::string> fetched_links() const {
        const std::lock_guard lock(mutex_);
        return fetched_links_;
    }

    [[nodiscard]] ProgramSeams seams() {
        return {
            .show_message = [this](const QString& text) { messages.push_back(text); },
            .fetch_chapter =
                [this](const std::string& link, std::stop_token stop) {
                    {
                        const std::lock_guard lock(mutex_);
                        fetched_links_.push_back(link);
                    }
                    return fetch ? fetch(link, std::move(stop)) : FetchedChapter{};
                },
            .register_hot_key =
                [this](std::uint32_t modifiers, std::uint32_t key, QObject*) {
                    hot_keys.emplace_back(modifiers, key);
                    return hot_key_identifier;
                },
            .settings_file = settings_folder.filePath(QStringLiteral("settings.ini")),
            .library_file = library_file(),
            .choose_save_path =
                [this](const QString& proposed) {
                    proposed_paths.push_back(proposed);
                    return save_path;
                },
            .ask =
                [this](const QString& text) {
                    questions.push_back(text);
                    return answer;
                },
            .choose =
                [this](const QString& text, const QStringList&) {
                    choice_questions.push_back(text);
                    if (choices.empty()) return 0;
                    const int choice = choices.front();
                    choices.erase(choices.begin());
                    return choice;
                },
            .unregister_hot_key =
                [this](std::int32_t identifier) { released_hot_keys.push_back(identifier); },
            // Counted with the other messages.
            .show_notice =
                [this](const QString& text, const QString&) {
                    messages.push_back(text);
                    return tick_notice_box;
                },
        };
    }

    // A library of the test's own, next to its settings.
    [[nodiscard]] std::string library_file() const {
        return settings_folder.filePath(QStringLiteral("library.sqlite3")).toStdString();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> fetched_links_;
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
