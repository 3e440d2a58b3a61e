#pragma once
// What the download window does: the book and chapter numbers taken from the
// reader's link, and range downloads run in the background, watched in the
// progress row, stopped with the start button and continued after a break.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

#include "app/job.h"
#include "app/program_seams.h"
#include "download/range_download.h"

namespace novel {

class DownloadWindow;
class ReaderSettings;

class DownloadController final : public QObject {
public:
    // reader_link gives the reader window's link box text (GBK) when asked.
    DownloadController(DownloadWindow* window, const ProgramSeams& seams,
                       std::function<std::string()> reader_link, ReaderSettings* settings);
    // Stops a run under way without waiting: the run writes its journal as
    // it ends, on its own thread.
    ~DownloadController() override;
    DownloadController(const DownloadController&) = delete;
    DownloadController& operator=(const DownloadController&) = delete;

    // The window was created: takes the book and chapter numbers from the
    // reader window's link box, once, and offers to continue an unfinished run.
    void take_current_index();
    // 按钮1 "取当前阅读序号": the numbers of the window's creation into the boxes.
    void fill_current_index();
    // 按钮2: "开始下载" starts a fresh run, "停止下载" stops the one going.
    void start_or_stop();
    // "继续下载": continues the unfinished run beside the output file.
    void continue_download();

    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] const std::string& output_path() const { return output_path_; }

private:
    // Runs job on the worker; its progress and result come back here.
    void start(std::function<RangeResult(PageSource&, const DownloadHooks&, std::stop_token)> job);
    void show_progress(const DownloadProgress& progress);
    void show_result(const RangeResult& result);
    void offer_to_continue();
    // Beside the program when its folder can be written to, else in the
    // user's download folder or home folder; the storage note follows.
    void choose_output_path();

    DownloadWindow* window_;
    const ProgramSeams& seams_;
    std::function<std::string()> reader_link_;
    ReaderSettings* settings_;
    std::string current_book_number_;
    std::string current_chapter_number_;
    std::string output_path_;  // empty when no folder can take the file
    std::string no_folder_reason_;
    bool saved_elsewhere_ = false;

    bool running_ = false;
    DownloadProgress last_progress_;
    std::optional<std::uint64_t> pages_at_start_;
    QElapsedTimer elapsed_;
    QTimer clock_;  // refreshes the elapsed time and the rate once a second
    JobHandle job_;
};

}  // namespace novel
