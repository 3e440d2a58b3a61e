#pragma once
// What the windows reach beyond themselves: message boxes, the network, the
// system-wide hot key and the settings file. The program passes its real ones
// (real_seams), tests their own, so that no test blocks on a box, leaves the
// machine or touches the user's settings.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "chapter/chapter_fetch.h"

class QObject;

namespace novel {

struct ProgramSeams {
    // A modal box with one OK button and no owner; returns when dismissed.
    std::function<void(const QString& text)> show_message;
    // Runs on a worker thread, never on the window thread.
    std::function<FetchedChapter(const std::string& link, std::stop_token stop)> fetch_chapter;
    // Takes a system-wide hot key whose presses are posted to receiver as
    // HotKeyNotification events; returns their identifier, 0 when the key
    // cannot be taken.
    std::function<std::int32_t(std::uint32_t modifiers, std::uint32_t key, QObject* receiver)>
        register_hot_key;
    // Where the settings are remembered; empty remembers nothing.
    QString settings_file;
    // The library's file (UTF-8); empty keeps no library.
    std::string library_file;
    // Asks where a file goes, proposing `proposed`; empty when the user declines.
    std::function<QString(const QString& proposed)> choose_save_path;
    // A question with yes and no; true for yes.
    std::function<bool(const QString& text)> ask;
    // A question answered with one of several buttons, named by choices;
    // returns the index of the one pressed, -1 when the box is dismissed.
    std::function<int(const QString& text, const QStringList& choices)> choose;
    // Gives back a hot key taken with register_hot_key.
    std::function<void(std::int32_t identifier)> unregister_hot_key;
    // A box like show_message with a check box labelled check_text,
    // unchecked at first; returns whether it was checked when dismissed.
    std::function<bool(const QString& text, const QString& check_text)> show_notice;
};

// Message boxes, the chapter fetch, the X11 hot key and the user's settings
// file of the real program.
[[nodiscard]] ProgramSeams real_seams();

}  // namespace novel
