#include "app/qt_window_operations.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "app/content_box.h"
#include "app/download_handlers.h"
#include "app/download_window.h"
#include "app/gbk_qstring.h"
#include "app/reader_handlers.h"
#include "app/reader_window.h"
#include "chapter/program_state.h"

namespace novel {

namespace {

constexpr QSize READER_SIZE{459, 286};
constexpr QSize DOWNLOAD_SIZE{320, 202};
constexpr QSize INSTRUCTIONS_SIZE{364, 200};

// Some window systems tell the frame as the window is shown, others only once
// they have taken the window, so the fit is done at once and again soon after.
void fit_outer_size_soon(QWidget* window, QSize outer, bool fixed) {
    fit_outer_size(window, outer, fixed);
    QTimer::singleShot(0, window, [window, outer, fixed] { fit_outer_size(window, outer, fixed); });
}

}  // namespace

QtWindowOperations::QtWindowOperations(ReaderServices& services) : services_(services) {}

QtWindowOperations::~QtWindowOperations() {
    // Top-level windows of their own, without a parent.
    delete instructions_.data();
    delete download_.data();
    if (reader_ && globals().reader_content_box == content_text_.get()) {
        globals().reader_content_box = nullptr;
    }
}

DownloadWindow* QtWindowOperations::download_window() const { return download_.data(); }

InstructionsWindow* QtWindowOperations::instructions_window() const { return instructions_.data(); }

QObject* QtWindowOperations::hot_key_receiver() const {
    return reader_ ? reader_->hot_key_label : nullptr;
}

QWidget* QtWindowOperations::window_widget(Window window) const {
    switch (window) {
        case Window::reader:
            return reader_.get();
        case Window::download:
            return download_.data();
        case Window::instructions:
            return instructions_.data();
    }
    return nullptr;
}

QWidget* QtWindowOperations::control(Window window, std::string_view name) const {
    QWidget* top = window_widget(window);
    return top == nullptr ? nullptr : top->findChild<QWidget*>(qstring_from_utf8(name));
}

std::string QtWindowOperations::read_text(Window window, std::string_view name) const {
    QWidget* widget = control(window, name);
    if (auto* box = qobject_cast<ContentBox*>(widget)) return box->gbk_text();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return gbk_from_qstring(line->text());
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        return gbk_from_qstring(plain->toPlainText());
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) return gbk_from_qstring(label->text());
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return gbk_from_qstring(button->text());
    }
    return {};
}

void QtWindowOperations::write_text(Window window, std::string_view name, std::string_view text) {
    QWidget* widget = control(window, name);
    if (auto* box = qobject_cast<ContentBox*>(widget)) {
        box->set_gbk_text(text);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        line->setText(qstring_from_gbk(text));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        plain->setPlainText(qstring_from_gbk(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(qstring_from_gbk(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(qstring_from_gbk(text));
    }
}

void QtWindowOperations::write_text_colour(Window window, std::string_view name, RgbColour colour) {
    QWidget* widget = control(window, name);
    if (widget == nullptr) return;
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Text, QColor::fromRgb(colour));
    colours.setColor(QPalette::WindowText, QColor::fromRgb(colour));
    colours.setColor(QPalette::ButtonText, QColor::fromRgb(colour));
    widget->setPalette(colours);
}

int QtWindowOperations::window_width(Window window) const {
    const QWidget* top = window_widget(window);
    return top == nullptr ? 0 : top->frameGeometry().width();
}

int QtWindowOperations::window_height(Window window) const {
    const QWidget* top = window_widget(window);
    return top == nullptr ? 0 : top->frameGeometry().height();
}

int QtWindowOperations::control_left(Window window, std::string_view name) const {
    const QWidget* widget = control(window, name);
    return widget == nullptr ? 0 : widget->x();
}

int QtWindowOperations::control_top(Window window, std::string_view name) const {
    const QWidget* widget = control(window, name);
    return widget == nullptr ? 0 : widget->y();
}

void QtWindowOperations::set_control_left(Window window, std::string_view name, int left) {
    if (QWidget* widget = control(window, name)) widget->move(left, widget->y());
}

void QtWindowOperations::set_control_top(Window window, std::string_view name, int top) {
    if (QWidget* widget = control(window, name)) widget->move(widget->x(), top);
}

void QtWindowOperations::set_control_width(Window window, std::string_view name, int width) {
    if (QWidget* widget = control(window, name)) widget->resize(width, widget->height());
}

void QtWindowOperations::set_control_height(Window window, std::string_view name, int height) {
    if (QWidget* widget = control(window, name)) widget->resize(widget->width(), height);
}

void QtWindowOperations::message_box(std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, QString(), qstring_from_gbk(text), QMessageBox::Ok);
    box.exec();
}

void QtWindowOperations::open_window(Window window, bool modal) {
    switch (window) {
        case Window::reader:
            open_reader_window();
            return;
        case Window::download:
            open_download_window();
            return;
        case Window::instructions:
            open_instructions_window(modal);
            return;
    }
}

void QtWindowOperations::open_reader_window() {
    if (reader_) {
        reader_->raise();
        reader_->activateWindow();
        return;
    }
    reader_ = std::make_unique<ReaderWindow>();
    ReaderWindow* reader = reader_.get();
    content_text_ = std::make_unique<ContentBoxText>(reader->content_box);
    globals().reader_content_box = content_text_.get();

    reader->on_link_focus_in = [this] { clear_placeholder(*this); };
    reader->on_link_focus_out = [this] { restore_placeholder(*this); };
    reader->on_close = [this] {
        // Closing the start window ends the program, download window included.
        if (download_) download_->close();
    };
    reader->hot_key_label->on_notification = [this](std::int32_t identifier, std::int32_t second) {
        on_paging_hot_key(services_, identifier, second);
    };
    QObject::connect(reader->fetch_button, &QPushButton::clicked, reader,
                     [this] { fetch_entered_link(*this, services_); });
    QObject::connect(reader->next_page_button, &QPushButton::clicked, reader,
                     [this] { page_next(services_); });
    QObject::connect(reader->download_button, &QPushButton::clicked, reader,
                     [this] { novel::open_download_window(*this); });
    QObject::connect(reader->layout_timer, &QTimer::timeout, reader,
                     [this] { relayout_reader_window(*this); });
    reader->layout_timer->start();

    reader->show();
    fit_outer_size_soon(reader, READER_SIZE, /*fixed=*/false);
    init_reader_window(*this, services_);
}

void QtWindowOperations::open_download_window() {
    // One download window at a time: opening it again brings it forward.
    if (download_) {
        download_->raise();
        download_->activateWindow();
        return;
    }
    auto* download = new DownloadWindow();  // deletes itself when closed
    download_ = download;
    QObject::connect(download->current_position_button, &QPushButton::clicked, download,
                     [this] { fill_current_index(*this); });
    QObject::connect(download->start_button, &QPushButton::clicked, download,
                     [this] { download_range(*this); });
    QObject::connect(download->instructions_button, &QPushButton::clicked, download,
                     [this] { open_window(Window::instructions, /*modal=*/true); });
    download->show();
    fit_outer_size_soon(download, DOWNLOAD_SIZE, /*fixed=*/true);
    take_current_index(*this);
}

void QtWindowOperations::open_instructions_window(bool modal) {
    if (instructions_) {
        instructions_->raise();
        instructions_->activateWindow();
        return;
    }
    auto* instructions = new InstructionsWindow();  // no parent: modal for the whole program
    instructions->setAttribute(Qt::WA_DeleteOnClose);
    instructions_ = instructions;
    // Shown before the modal loop so that its frame can be fitted at once.
    instructions->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    instructions->show();
    fit_outer_size_soon(instructions, INSTRUCTIONS_SIZE, /*fixed=*/true);
    if (modal) instructions->exec();
}

}  // namespace novel
