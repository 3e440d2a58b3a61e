// Start-up: the reader window with the real message boxes, network and hot
// key, then the message loop. Closing the reader window ends the program.

#include <QApplication>

#include "app/program_windows.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    novel::ProgramWindows windows(novel::real_seams());
    windows.open_reader_window();
    return QApplication::exec();
}
