#include "app/reading_look.h"

#include <algorithm>

namespace novel {

QString theme_name(ReadingTheme theme) {
    switch (theme) {
        case ReadingTheme::day:
            return QStringLiteral("日间");
        case ReadingTheme::sepia:
            return QStringLiteral("护眼");
        case ReadingTheme::night:
            return QStringLiteral("夜间");
    }
    return {};
}

ThemeColours theme_colours(ReadingTheme theme) {
    switch (theme) {
        case ReadingTheme::day:
            break;
        case ReadingTheme::sepia:
            return {QColor(0x5B, 0x46, 0x36), QColor(0xF4, 0xEC, 0xD8), QColor(0xC9, 0xB2, 0x8A)};
        case ReadingTheme::night:
            return {QColor(0xB8, 0xB8, 0xB0), QColor(0x1E, 0x1F, 0x22), QColor(0x3D, 0x55, 0x7A)};
    }
    return {QColor(Qt::black), QColor(Qt::white), QColor(0xB5, 0xD5, 0xFF)};
}

QPalette window_palette(ReadingTheme theme, const QPalette& desktop) {
    if (theme == ReadingTheme::day) return desktop;
    const ThemeColours colours = theme_colours(theme);
    // A shade off the page, for the frame and its buttons.
    const bool dark = theme == ReadingTheme::night;
    const QColor frame = dark ? colours.base.lighter(125) : colours.base.darker(106);
    const QColor button = dark ? colours.base.lighter(150) : colours.base.darker(112);
    QPalette palette = desktop;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, frame);
        palette.setColor(group, QPalette::WindowText, colours.text);
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::ButtonText, colours.text);
        palette.setColor(group, QPalette::Base, colours.base);
        palette.setColor(group, QPalette::AlternateBase, frame);
        palette.setColor(group, QPalette::Text, colours.text);
        palette.setColor(group, QPalette::Highlight, colours.highlight);
        palette.setColor(group, QPalette::HighlightedText, colours.text);
        palette.setColor(group, QPalette::ToolTipBase, frame);
        palette.setColor(group, QPalette::ToolTipText, colours.text);
        QColor faint = colours.text;
        faint.setAlpha(140);
        palette.setColor(group, QPalette::PlaceholderText, faint);
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, frame);
    palette.setColor(QPalette::Disabled, QPalette::Button, button);
    palette.setColor(QPalette::Disabled, QPalette::Base, colours.base);
    return palette;
}

ReadingTheme theme_for_desktop(const QColor& window_colour) {
    return window_colour.lightness() < 128 ? ReadingTheme::night : ReadingTheme::day;
}

int side_margin(int view_width, int pixel_size) {
    const int longest = LONGEST_LINE_CHARACTERS * std::max(pixel_size, 1);
    return std::max(SMALLEST_SIDE_MARGIN, (view_width - longest) / 2);
}

}  // namespace novel
