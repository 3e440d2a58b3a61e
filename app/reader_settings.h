#pragma once
// What the program remembers between runs: the place in the book, the text
// size, the windows' places and how far downloads fetch ahead, in a file under the user's config
// folder. Whatever that file holds, reading gives usable values: a missing, unreadable or corrupt
// entry gives today's default, and a value out of range is clamped.

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class QSettings;

namespace novel {

inline constexpr int DEFAULT_TEXT_SIZE = 18;
inline constexpr int SMALLEST_TEXT_SIZE = 10;
inline constexpr int LARGEST_TEXT_SIZE = 48;
inline constexpr int TEXT_SIZE_STEP = 2;

// The text size in pixels, kept between the smallest and the largest.
[[nodiscard]] int clamp_text_size(long long pixels);
// Larger by that many steps (smaller when negative), within the bounds.
[[nodiscard]] int step_text_size(int pixels, int steps);

// Where a window last seen at `saved` (its outer rectangle) opens now, given
// the available areas of the screens there are: on the screen it overlaps
// most, its size kept between minimum and maximum and within that screen,
// moved so that it lies wholly on it. Nothing when it overlaps no screen.
[[nodiscard]] std::optional<QRect> place_on_screens(const QRect& saved, const QList<QRect>& screens,
                                                    QSize minimum, QSize maximum);

// The place in the book: the address of the chapter shown last and its next
// link, GBK bytes as they were read.
struct SavedPlace {
    std::string chapter_link;
    std::string next_link;
    bool operator==(const SavedPlace&) const = default;
};

// The windows whose places are remembered.
inline constexpr std::string_view READER_WINDOW_PLACE = "reader_window";
inline constexpr std::string_view DOWNLOAD_WINDOW_PLACE = "download_window";

// The settings file under the user's config folder ($XDG_CONFIG_HOME when it
// is an absolute path, else ~/.config), never beside the program.
[[nodiscard]] QString user_settings_file();

class ReaderSettings {
public:
    // Kept in `file`, written through at once so that a killed program loses
    // nothing. An empty name keeps nothing: reads give the defaults.
    explicit ReaderSettings(const QString& file);
    ~ReaderSettings();
    ReaderSettings(const ReaderSettings&) = delete;
    ReaderSettings& operator=(const ReaderSettings&) = delete;

    [[nodiscard]] SavedPlace reading_place() const;
    void save_reading_place(const SavedPlace& place);

    [[nodiscard]] int text_size() const;
    void save_text_size(int pixels);

    // Pages a download fetches ahead at once, 1 to kMostFetchAhead.
    [[nodiscard]] int fetch_ahead() const;
    void save_fetch_ahead(int pages);

    // A window's outer rectangle as last saved; nothing when none is saved
    // or what is saved cannot be a window's place.
    [[nodiscard]] std::optional<QRect> window_place(std::string_view window) const;
    void save_window_place(std::string_view window, const QRect& outer);
    // The window system's own record of a window's place and size, which
    // gives back exactly what was saved; empty when none is saved.
    // A choice made in a list (the bookshelf's export format, encoding and
    // script) by its position; fallback when none is saved.
    [[nodiscard]] int choice(std::string_view name, int fallback) const;
    void save_choice(std::string_view name, int index);

    [[nodiscard]] QByteArray window_geometry(std::string_view window) const;
    void save_window_geometry(std::string_view window, const QByteArray& geometry);

    // The file a book's downloads were last saved to with 「保存为…」; empty
    // when none was chosen. book is the book number as typed (GBK).
    [[nodiscard]] QString download_path_of_book(const std::string& book) const;
    void save_download_path_of_book(const std::string& book, const QString& path);
    // The reading view's theme as its position in READING_THEMES; nothing
    // until the user has chosen one.
    [[nodiscard]] std::optional<int> reading_theme() const;
    void save_reading_theme(int index);
    // The face chosen for reading; empty for the default.
    [[nodiscard]] QString font_family() const;
    void save_font_family(const QString& family);
    // Per cent of the font's height, kept between the smallest and the largest.
    [[nodiscard]] int line_height() const;
    void save_line_height(int percent);
    // A switch by name ("show_site_additions", "global_down_key",
    // "hide_startup_notice", ...); fallback when none is saved.
    [[nodiscard]] bool flag(std::string_view name, bool fallback) const;
    void save_flag(std::string_view name, bool on);

private:
    void sync();

    std::unique_ptr<QSettings> store_;
};

}  // namespace novel
