#include "platform/hot_key.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <cstddef>
#include <utility>
#include <vector>

// Xlib last: its macros (None, Bool, KeyPress, ...) clash with Qt's headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace novel {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct ModifierMapFreer {
    void operator()(XModifierKeymap* map) const { XFreeModifiermap(map); }
};
using ModifierMapPtr = std::unique_ptr<XModifierKeymap, ModifierMapFreer>;

// Xlib reports failed requests to one process-wide handler, which by default
// ends the process; ours is installed only around our own grab requests,
// all on the GUI thread.
int failed_grabs = 0;
int count_failed_grab(Display*, XErrorEvent*) {
    ++failed_grabs;
    return 0;
}

constexpr unsigned ALL_MODIFIER_BITS =
    ShiftMask | LockMask | ControlMask | Mod1Mask | Mod2Mask | Mod3Mask | Mod4Mask | Mod5Mask;

KeySym keysym_for(std::uint32_t virtual_key) {
    switch (virtual_key) {
        case 0x25:
            return XK_Left;
        case 0x26:
            return XK_Up;
        case 0x27:
            return XK_Right;
        case 0x28:
            return XK_Down;
        default:
            return NoSymbol;
    }
}

unsigned x_modifiers(std::uint32_t modifiers) {
    unsigned mask = 0;
    if ((modifiers & HOT_KEY_ALT) != 0) mask |= Mod1Mask;
    if ((modifiers & HOT_KEY_CONTROL) != 0) mask |= ControlMask;
    if ((modifiers & HOT_KEY_SHIFT) != 0) mask |= ShiftMask;
    if ((modifiers & HOT_KEY_SUPER) != 0) mask |= Mod4Mask;
    return mask;
}

// The modifier bit that NumLock sets; Mod2 on nearly every keyboard map.
unsigned num_lock_mask(Display* display) {
    const KeyCode num_lock = XKeysymToKeycode(display, XK_Num_Lock);
    const ModifierMapPtr map(XGetModifierMapping(display));
    if (num_lock != 0 && map) {
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int slot = 0; slot < map->max_keypermod; ++slot) {
                if (map->modifiermap[modifier * map->max_keypermod + slot] == num_lock) {
                    return 1u << modifier;
                }
            }
        }
    }
    return Mod2Mask;
}

}  // namespace

struct GlobalHotKeys::Connection {
    struct Grab {
        unsigned keycode;
        unsigned modifiers;
        std::int32_t identifier;
        Handler on_press;
    };

    DisplayPtr display;
    std::unique_ptr<QSocketNotifier> notifier;  // declared after display: goes first
    unsigned num_lock = Mod2Mask;
    std::vector<Grab> grabs;
    std::int32_t last_identifier = 0;

    [[nodiscard]] std::vector<unsigned> lock_variants() const {
        return {0u, LockMask, num_lock, LockMask | num_lock};
    }

    // Xlib may already hold events in its queue, so read until it is empty,
    // not only until the socket is.
    void deliver_pending() {
        while (XPending(display.get()) > 0) {
            XEvent event;
            XNextEvent(display.get(), &event);
            if (event.type != KeyPress) continue;
            const unsigned state = event.xkey.state & ALL_MODIFIER_BITS & ~(LockMask | num_lock);
            // By index and with a copy: a handler may register further keys.
            for (std::size_t i = 0; i < grabs.size(); ++i) {
                if (grabs[i].keycode == event.xkey.keycode && grabs[i].modifiers == state) {
                    const Handler on_press = grabs[i].on_press;
                    const std::int32_t identifier = grabs[i].identifier;
                    on_press(identifier);
                }
            }
        }
    }
};

GlobalHotKeys::GlobalHotKeys() {
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display) return;
    connection_ = std::make_unique<Connection>();
    connection_->num_lock = num_lock_mask(display.get());
    connection_->notifier =
        std::make_unique<QSocketNotifier>(ConnectionNumber(display.get()), QSocketNotifier::Read);
    connection_->display = std::move(display);
    Connection* connection = connection_.get();
    QObject::connect(connection_->notifier.get(), &QSocketNotifier::activated,
                     connection_->notifier.get(), [connection] { connection->deliver_pending(); });
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::has_display() const { return connection_ != nullptr; }

std::int32_t GlobalHotKeys::register_hot_key(std::uint32_t modifiers, std::uint32_t virtual_key,
                                             Handler on_press) {
    if (!connection_) return 0;
    Display* display = connection_->display.get();
    const KeySym symbol = keysym_for(virtual_key);
    const unsigned keycode = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
    if (keycode == 0) return 0;
    const unsigned wanted = x_modifiers(modifiers);
    const ::Window root = DefaultRootWindow(display);

    XSync(display, False);  // earlier requests must not count as failed grabs
    failed_grabs = 0;
    const XErrorHandler previous = XSetErrorHandler(count_failed_grab);
    for (const unsigned lock : connection_->lock_variants()) {
        XGrabKey(display, static_cast<int>(keycode), wanted | lock, root, False, GrabModeAsync,
                 GrabModeAsync);
    }
    XSync(display, False);
    const bool taken = failed_grabs == 0;
    if (!taken) {
        // Releases only the variants we got; another client's grab stays.
        for (const unsigned lock : connection_->lock_variants()) {
            XUngrabKey(display, static_cast<int>(keycode), wanted | lock, root);
        }
        XSync(display, False);
    }
    XSetErrorHandler(previous);

    // The syncs may have queued events that the socket will not announce again.
    Connection* connection = connection_.get();
    QMetaObject::invokeMethod(
        connection_->notifier.get(), [connection] { connection->deliver_pending(); },
        Qt::QueuedConnection);
    if (!taken) return 0;

    const std::int32_t identifier = ++connection_->last_identifier;
    connection_->grabs.push_back({keycode, wanted, identifier, std::move(on_press)});
    return identifier;
}

void GlobalHotKeys::unregister_hot_key(std::int32_t identifier) {
    if (!connection_) return;
    Display* display = connection_->display.get();
    const ::Window root = DefaultRootWindow(display);
    std::erase_if(connection_->grabs, [&](const Connection::Grab& grab) {
        if (grab.identifier != identifier) return false;
        for (const unsigned lock : connection_->lock_variants()) {
            XUngrabKey(display, static_cast<int>(grab.keycode), grab.modifiers | lock, root);
        }
        return true;
    });
    XSync(display, False);
}

}  // namespace novel
