#include <QAbstractButton>
#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/program_seams.h"
#include "app/reader_settings.h"
#include "app/reader_window.h"
#include "library/library.h"
#include "platform/hot_key.h"

namespace novel {

ProgramSeams real_seams() {
    // Made on the first registration; shared by taking and giving back the key.
    auto hot_keys = std::make_shared<std::unique_ptr<GlobalHotKeys>>();
    return {
        .show_message =
            [](const QString& text) {
                QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
                box.exec();
            },
        .fetch_chapter = [](const std::string& link,
                            std::stop_token stop) { return fetch_chapter(link, std::move(stop)); },
        .register_hot_key =
            [hot_keys](std::uint32_t modifiers, std::uint32_t key, QObject* receiver) {
                // A grab on an X server the windows are not shown on (the
                // offscreen platform with DISPLAY set, a Wayland session)
                // would page from the wrong desktop, so only X11 takes the key.
                if (QGuiApplication::platformName() != QStringLiteral("xcb")) return 0;
                if (!*hot_keys) *hot_keys = std::make_unique<GlobalHotKeys>();
                return (*hot_keys)->register_hot_key(
                    modifiers, key, [target = QPointer<QObject>(receiver)](std::int32_t id) {
                        // Posted, like a window message: the press is handled
                        // once the current handler has returned.
                        if (target)
                            QCoreApplication::postEvent(target, new HotKeyNotification(id, 0));
                    });
            },
        .settings_file = user_settings_file(),
        .library_file = default_library_path(),
        .choose_save_path =
            [](const QString& proposed) {
                return QFileDialog::getSaveFileName(nullptr, QString(), proposed);
            },
        .ask =
            [](const QString& text) {
                QMessageBox box(QMessageBox::Question, QString(), text,
                                QMessageBox::Yes | QMessageBox::No);
                return box.exec() == QMessageBox::Yes;
            },
        .choose =
            [](const QString& text, const QStringList& choices) {
                QMessageBox box(QMessageBox::Question, QString(), text);
                std::vector<QAbstractButton*> buttons;
                for (const QString& choice : choices) {
                    buttons.push_back(box.addButton(choice, QMessageBox::AcceptRole));
                }
                if (!buttons.empty()) box.setEscapeButton(buttons.back());
                box.exec();
                const auto pressed = std::ranges::find(buttons, box.clickedButton());
                return pressed == buttons.end() ? -1 : static_cast<int>(pressed - buttons.begin());
            },
        .unregister_hot_key =
            [hot_keys](std::int32_t identifier) {
                if (*hot_keys) (*hot_keys)->unregister_hot_key(identifier);
            },
        .show_notice =
            [](const QString& text, const QString& check_text) {
                QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok);
                auto* check = new QCheckBox(check_text, &box);
                box.setCheckBox(check);
                box.exec();
                return check->isChecked();
            },
    };
}

}  // namespace novel
