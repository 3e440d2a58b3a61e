#include "app/program_services.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include "app/reader_window.h"
#include "chapter/chapter_extraction.h"
#include "platform/hot_key.h"

namespace novel {

ProgramServices::ProgramServices(std::function<QObject*()> receiver)
    : receiver_(std::move(receiver)) {}

ProgramServices::~ProgramServices() = default;

void ProgramServices::show_chapter(std::string_view link) { novel::show_chapter(link); }

std::int32_t ProgramServices::register_hot_key(std::uint32_t modifiers, std::uint32_t virtual_key) {
    // A grab on an X server the windows are not shown on (the offscreen
    // platform with DISPLAY set, a Wayland session) would page from the wrong
    // desktop, so only the X11 platform takes the key.
    if (QGuiApplication::platformName() != QStringLiteral("xcb")) return 0;
    if (!hot_keys_) hot_keys_ = std::make_unique<GlobalHotKeys>();
    return hot_keys_->register_hot_key(modifiers, virtual_key, [this](std::int32_t identifier) {
        // Posted, like a window message: the press is handled by the label
        // once the current handler has returned.
        if (QObject* receiver = receiver_()) {
            QCoreApplication::postEvent(receiver, new HotKeyNotification(identifier, 0));
        }
    });
}

}  // namespace novel
