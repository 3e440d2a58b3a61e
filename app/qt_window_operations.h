#pragma once
// The window operations over the Qt windows: controls are found by their
// names within their window, and texts become QStrings only here.

#include <QPointer>
#include <memory>

#include "app/window_operations.h"

class QObject;
class QWidget;

namespace novel {

class ContentBoxText;
class DownloadWindow;
class InstructionsWindow;
class ReaderServices;
class ReaderWindow;

// Opening a window creates it, binds its events to their handlers, shows it
// and runs its creation handler. Needs the program-wide state for as long as
// the reader window exists, and must go before the state is released.
class QtWindowOperations : public WindowOperations {
public:
    explicit QtWindowOperations(ReaderServices& services);
    ~QtWindowOperations() override;
    QtWindowOperations(const QtWindowOperations&) = delete;
    QtWindowOperations& operator=(const QtWindowOperations&) = delete;

    [[nodiscard]] std::string read_text(Window window, std::string_view control) const override;
    void write_text(Window window, std::string_view control, std::string_view text) override;
    void write_text_colour(Window window, std::string_view control, RgbColour colour) override;
    [[nodiscard]] int window_width(Window window) const override;
    [[nodiscard]] int window_height(Window window) const override;
    [[nodiscard]] int control_left(Window window, std::string_view control) const override;
    [[nodiscard]] int control_top(Window window, std::string_view control) const override;
    void set_control_left(Window window, std::string_view control, int left) override;
    void set_control_top(Window window, std::string_view control, int top) override;
    void set_control_width(Window window, std::string_view control, int width) override;
    void set_control_height(Window window, std::string_view control, int height) override;
    // Only the instructions window heeds the modal flag; the reader and the
    // download window are always opened modeless.
    void open_window(Window window, bool modal) override;
    // A modal box without owner; tests replace it so they never block.
    void message_box(std::string_view text) override;

    [[nodiscard]] ReaderWindow* reader_window() const { return reader_.get(); }
    [[nodiscard]] DownloadWindow* download_window() const;
    [[nodiscard]] InstructionsWindow* instructions_window() const;
    // 标签1 while the reader window exists, else null.
    [[nodiscard]] QObject* hot_key_receiver() const;

    // The top-level widget of a window, null while it is not open.
    [[nodiscard]] QWidget* window_widget(Window window) const;
    [[nodiscard]] QWidget* control(Window window, std::string_view name) const;

private:
    void open_reader_window();
    void open_download_window();
    void open_instructions_window(bool modal);

    ReaderServices& services_;
    std::unique_ptr<ReaderWindow> reader_;
    std::unique_ptr<ContentBoxText> content_text_;
    QPointer<DownloadWindow> download_;
    QPointer<InstructionsWindow> instructions_;
};

}  // namespace novel
