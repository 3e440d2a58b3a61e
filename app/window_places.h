#pragma once
// Windows open where they were last closed, when that place is on a screen
// that exists now; otherwise where they were designed to open.

#include <QSize>
#include <optional>
#include <string_view>

class QWidget;

namespace novel {

class ReaderSettings;

// The outer sizes a window may be given back: a fixed window passes its
// designed size for both.
struct SizeBounds {
    QSize minimum;
    QSize maximum;
};

// Moves a window that is not shown yet to its remembered place, sizes it,
// and returns the outer size to fit once its frame is known: the remembered
// one, or `designed` when there is none or it lies on no screen now; nothing
// when the window system's own record gave the window back as it was.
std::optional<QSize> restore_window_place(QWidget* window, const ReaderSettings& settings,
                                          std::string_view name, QSize designed, SizeBounds bounds);

// Saves the window's outer rectangle each time it is closed; the name is one
// of the constants of reader_settings.h. A maximised,
// full-screen or minimised window keeps the place saved before.
void remember_place_on_close(QWidget* window, ReaderSettings* settings, std::string_view name);

}  // namespace novel
