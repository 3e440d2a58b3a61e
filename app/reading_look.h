#pragma once
// How the reading view looks: its colour theme, face, size and line height,
// decided without a screen.

#include <QColor>
#include <QPalette>
#include <QString>
#include <array>

namespace novel {

enum class ReadingTheme { day = 0, sepia = 1, night = 2 };

inline constexpr std::array<ReadingTheme, 3> READING_THEMES{ReadingTheme::day, ReadingTheme::sepia,
                                                            ReadingTheme::night};

struct ThemeColours {
    QColor text;
    QColor base;
    QColor highlight;
};

// 「日间」, 「护眼」, 「夜间」.
[[nodiscard]] QString theme_name(ReadingTheme theme);
[[nodiscard]] ThemeColours theme_colours(ReadingTheme theme);
// The reader window around the text in the theme's colours, so that a
// night theme is not framed in a bright window; the day theme keeps the
// desktop's own palette.
[[nodiscard]] QPalette window_palette(ReadingTheme theme, const QPalette& desktop);
// The desktop's own preference, read from its window colour: a dark desktop
// reads at night.
[[nodiscard]] ReadingTheme theme_for_desktop(const QColor& window_colour);

inline constexpr int DEFAULT_LINE_HEIGHT = 160;  // per cent of the font's height
inline constexpr int SMALLEST_LINE_HEIGHT = 120;
inline constexpr int LARGEST_LINE_HEIGHT = 250;
// Lines no longer than this many Chinese characters, centred in a wide window.
inline constexpr int LONGEST_LINE_CHARACTERS = 40;
inline constexpr int SMALLEST_SIDE_MARGIN = 24;

// The margin either side of the text in a view that wide, for that size.
[[nodiscard]] int side_margin(int view_width, int pixel_size);

struct ReadingLook {
    QString family;  // empty: the default face for Chinese
    int pixel_size = 18;
    int line_height = DEFAULT_LINE_HEIGHT;
    ReadingTheme theme = ReadingTheme::day;
    bool operator==(const ReadingLook&) const = default;
};

}  // namespace novel
