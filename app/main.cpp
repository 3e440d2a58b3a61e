// Start-up: the program-wide state first, its release arranged, then the
// reader window and the message loop.

#include <QApplication>
#include <memory>

#include "app/program_services.h"
#include "app/qt_window_operations.h"
#include "chapter/program_state.h"

namespace {

// Releases the program-wide state on every way out of main, after the
// windows that use it are gone.
struct GlobalsRelease {
    GlobalsRelease() = default;
    ~GlobalsRelease() { novel::release_globals(); }
    GlobalsRelease(const GlobalsRelease&) = delete;
    GlobalsRelease& operator=(const GlobalsRelease&) = delete;
};

}  // namespace

int main(int argc, char** argv) {
    novel::create_globals();
    const GlobalsRelease release;

    QApplication application(argc, argv);
    std::unique_ptr<novel::QtWindowOperations> windows;
    novel::ProgramServices services(
        [&windows]() -> QObject* { return windows ? windows->hot_key_receiver() : nullptr; });
    windows = std::make_unique<novel::QtWindowOperations>(services);
    windows->open_window(novel::Window::reader, /*modal=*/false);
    QApplication::exec();
    windows.reset();  // the windows call into the services until they are gone
    return 0;
}
