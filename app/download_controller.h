#pragma once
// What the download window does: the book and chapter numbers taken from the
// reader's link, and the range download into "文本.txt" beside the program.

#include <QObject>
#include <functional>
#include <string>

#include "app/program_seams.h"

namespace novel {

class DownloadWindow;

class DownloadController final : public QObject {
public:
    // reader_link gives the reader window's link box text (GBK) when asked.
    DownloadController(DownloadWindow* window, const ProgramSeams& seams,
                       std::function<std::string()> reader_link);

    // The window was created: takes the book and chapter numbers from the
    // reader window's link box, once.
    void take_current_index();
    // 按钮1 "取当前阅读序号": the numbers of the window's creation into the boxes.
    void fill_current_index();
    // 按钮2 "开始下载".
    void download_range();

private:
    DownloadWindow* window_;
    const ProgramSeams& seams_;
    std::function<std::string()> reader_link_;
    std::string current_book_number_;
    std::string current_chapter_number_;
};

}  // namespace novel
