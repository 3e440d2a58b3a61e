// Start-up: one reader per user (a later start hands its chapter address to
// the running one), Qt's own texts in Chinese, the reader window with the
// real message boxes, network and hot key, then the message loop. Closing the
// reader window ends the program.

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/program_windows.h"
#include "app/reader_controller.h"
#include "app/single_instance.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // The standard menus and buttons ("Copy", "OK") in the program's language.
    QTranslator qt_texts;
    if (qt_texts.load(QStringLiteral("qtbase_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(&qt_texts);
    }
    // From the icon theme when installed; else the copy built in (a PNG: the
    // SVG image plugin may be missing).
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("novel_reader"),
                         QIcon::fromTheme(QStringLiteral("org.corvane.novel_reader"),
                                          QIcon(QStringLiteral(":/novel_reader.png")))));

    novel::ProgramSeams seams = novel::real_seams();
    const QString link = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    novel::SingleInstance instance(novel::instance_name(seams.settings_file));
    if (instance.claim(link.toUtf8()) == novel::InstanceRole::handed_on) return 0;

    novel::ProgramWindows windows(std::move(seams));
    instance.on_handed_on = [&windows](const QByteArray& handed_link) {
        windows.open_reader_window();  // brings it to the front
        if (!handed_link.isEmpty() && windows.reader() != nullptr) {
            windows.reader()->fetch_link(QString::fromUtf8(handed_link));
        }
    };
    windows.open_reader_window();
    if (!link.isEmpty()) windows.reader()->fetch_link(link);
    return QApplication::exec();
}
