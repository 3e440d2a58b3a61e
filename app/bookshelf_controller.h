#pragma once
// What the bookshelf window does: its rows from the library, newest reading
// first; opening a book at its place or at any kept chapter in the reader;
// removing a book after asking; and exports run off the window thread.

#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "app/job.h"
#include "app/program_seams.h"

namespace novel {

class BookshelfWindow;
class Library;
class ReaderSettings;

class BookshelfController final : public QObject {
public:
    // open_chapter shows a kept chapter in the reader. The library and the
    // settings outlive the controller.
    BookshelfController(BookshelfWindow* window, const ProgramSeams& seams, Library* library,
                        ReaderSettings* settings,
                        std::function<void(const std::string& address)> open_chapter);

    void fill_rows();
    // The selected book: at its reading place, else at its first kept page.
    void open_selected();
    // 「目录」 of the selected book; returns the dialog shown.
    QWidget* show_chapters();
    void remove_selected();
    void export_selected();
    // 「检查更新」 of the selected book, or 「全部检查更新」, off the window
    // thread; one line per book in the note, and one per export written
    // again when 「更新后重新导出」 is on.
    void check_updates(bool every_book);

    // Book numbers, as the rows show them.
    [[nodiscard]] const std::vector<std::string>& row_books() const { return row_books_; }
    [[nodiscard]] bool exporting() const { return export_job_.running(); }
    [[nodiscard]] bool updating() const { return update_job_.running(); }

private:
    [[nodiscard]] const std::string* selected_book() const;
    void remember_export_choice();

    BookshelfWindow* window_;
    const ProgramSeams& seams_;
    Library* library_;
    ReaderSettings* settings_;
    std::function<void(const std::string&)> open_chapter_;
    std::vector<std::string> row_books_;
    std::vector<std::string> row_places_;  // the address each row opens at
    JobHandle export_job_;
    JobHandle update_job_;
};

}  // namespace novel
