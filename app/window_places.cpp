#include "app/window_places.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include "app/reader_settings.h"

namespace novel {
namespace {

class PlaceSaver final : public QObject {
public:
    PlaceSaver(QWidget* window, ReaderSettings* settings, std::string_view name)
        : QObject(window), window_(window), settings_(settings), name_(name) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        constexpr Qt::WindowStates unusual =
            Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized;
        if (watched == window_ && event->type() == QEvent::Close &&
            !(window_->windowState() & unusual)) {
            settings_->save_window_place(name_, window_->frameGeometry());
            settings_->save_window_geometry(name_, window_->saveGeometry());
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* window_;
    ReaderSettings* settings_;
    std::string_view name_;
};

}  // namespace

std::optional<QSize> restore_window_place(QWidget* window, const ReaderSettings& settings,
                                          std::string_view name, QSize designed,
                                          SizeBounds bounds) {
    // The inner size and the frame kept apart: a window restored this way
    // does not grow by its frame at every start. Older settings have only
    // the outer rectangle below.
    if (const QByteArray geometry = settings.window_geometry(name);
        !geometry.isEmpty() && window->restoreGeometry(geometry)) {
        return std::nullopt;
    }
    const std::optional<QRect> saved = settings.window_place(name);
    if (!saved) return designed;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.push_back(screen->availableGeometry());
    }
    const std::optional<QRect> place =
        place_on_screens(*saved, screens, bounds.minimum, bounds.maximum);
    if (!place) return designed;
    // Without a frame yet, the outer place is the best guess for the inner one.
    window->move(place->topLeft());
    window->resize(place->size());
    return place->size();
}

void remember_place_on_close(QWidget* window, ReaderSettings* settings, std::string_view name) {
    new PlaceSaver(window, settings, name);  // a child of the window, so it goes with it
}

}  // namespace novel
