#pragma once
// The program's windows and what binds them: the reader window with its
// controller, and the download and instructions windows it opens.

#include <QLabel>
#include <QPointer>
#include <memory>

#include "app/program_seams.h"

namespace novel {

class BookshelfController;
class BookshelfWindow;
class DownloadController;
class DownloadWindow;
class InstructionsWindow;
class Library;
class ReaderController;
class ReaderSettings;
class ReaderWindow;

class ProgramWindows {
public:
    explicit ProgramWindows(ProgramSeams seams);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Creates and shows the reader window, then runs its creation handler.
    void open_reader_window();
    // Not modal; a second request brings the open window forward.
    void open_download_window();
    // 「书架」: not modal; a second request brings it forward.
    void open_bookshelf_window();
    // Modal for the whole program: returns when the window is closed.
    void open_instructions_window();

    [[nodiscard]] ReaderWindow* reader_window() const { return reader_.get(); }
    [[nodiscard]] ReaderController* reader() const { return reader_controller_.get(); }
    [[nodiscard]] Library* library() const { return library_.get(); }
    [[nodiscard]] DownloadWindow* download_window() const;
    [[nodiscard]] DownloadController* download() const;
    [[nodiscard]] InstructionsWindow* instructions_window() const;
    [[nodiscard]] BookshelfWindow* bookshelf_window() const;
    [[nodiscard]] BookshelfController* bookshelf() const;

private:
    // Closing the reader during a download asks first; false keeps the program.
    bool may_end_program();

    ProgramSeams seams_;
    std::unique_ptr<ReaderSettings> settings_;  // outlives every window
    std::unique_ptr<Library> library_;          // the window thread's connection, or none
    QString library_notice_;                    // told once, after the start-up notice
    std::unique_ptr<ReaderWindow> reader_;
    std::unique_ptr<ReaderController> reader_controller_;
    QPointer<DownloadWindow> download_;
    QPointer<DownloadController> download_controller_;  // a child of download_
    QPointer<InstructionsWindow> instructions_;
    QPointer<BookshelfWindow> bookshelf_;
    QPointer<BookshelfController> bookshelf_controller_;  // a child of bookshelf_
    QPointer<QLabel> background_label_;  // a download's progress while its window is hidden
    bool exit_after_download_ = false;   // the reader was closed with the run left going
};

}  // namespace novel
