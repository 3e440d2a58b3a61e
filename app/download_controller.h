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
#include "download/range_progress.h"

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

    // The window was created: offers to continue an unfinished run.
    void take_current_index();
    // 按钮1 "取当前阅读序号": the book and chapter numbers of the chapter the
    // reader shows at the moment of the click.
    void fill_current_index();
    // 按钮2: "开始下载" starts a fresh run, "停止下载" stops the one going.
    void start_or_stop();
    // "继续下载": continues the unfinished run beside the output file.
    void continue_download();
    // 「保存为…」: the file this book's downloads go to, remembered per book.
    void choose_save_path();

    // The book's name (GBK) from the library, for the files' names; the
    // book number when unknown.
    std::function<std::string(const std::string& book)> book_name;
    // The text (GBK) the library holds for a chapter's address, as a
    // download writes it; nothing when it is not stored.
    std::function<std::optional<std::string>(const std::string& address)> stored_text;
    // While the window is hidden and the run goes on: its progress line, or
    // an empty text once it is over.
    std::function<void(const QString& text)> on_background_progress;

    [[nodiscard]] bool running() const { return running_; }
    // The window hides and the run goes on; the final box still comes, and
    // the window closes after it.
    void continue_in_background();
    // The window closes without asking, which stops the run.
    void stop_and_close();
    [[nodiscard]] const std::string& output_path() const { return output_path_; }

    // What a run brought: the range's result and the EPUB written after it.
    struct RunOutcome {
        RangeResult range;
        std::string epub_path;     // UTF-8; empty when none was written
        std::string epub_failure;  // UTF-8
    };

private:
    using RangeJob = std::function<RangeResult(PageSource&, const DownloadHooks&, std::stop_token)>;
    // Runs job on the worker; its progress and result come back here.
    void start(RangeJob job, const std::string& book);
    void show_progress(const DownloadProgress& progress);
    void show_result(const RunOutcome& outcome);
    // Asked when the window is closed during a run; false keeps it open.
    bool may_close();
    // FOLDER/书名.txt, the book's number when its name is not known.
    [[nodiscard]] QString proposed_path(const std::string& book, const QString& folder) const;
    // The questions before a fresh run; false when the user declines.
    bool confirm_range(const RangeRequest& request);
    bool confirm_overwrite(const RangeRequest& request, std::string* path);
    [[nodiscard]] std::string path_for_book(const std::string& book) const;
    [[nodiscard]] DownloadOptions options_for(const std::string& path) const;
    void offer_to_continue();
    // Beside the program when its folder can be written to, else in the
    // user's download folder or home folder; the storage note follows.
    void choose_output_path();

    DownloadWindow* window_;
    const ProgramSeams& seams_;
    std::function<std::string()> reader_link_;
    ReaderSettings* settings_;
    std::string output_path_;  // empty when no folder can take the file
    std::string no_folder_reason_;
    bool saved_elsewhere_ = false;

    bool running_ = false;
    bool in_background_ = false;
    std::string run_path_;  // the file of the run under way or ended last
    std::optional<RangeProgressMeter> meter_;
    DownloadProgress last_progress_;
    std::optional<std::uint64_t> pages_at_start_;
    QElapsedTimer elapsed_;
    QTimer clock_;  // refreshes the elapsed time and the rate once a second
    JobHandle job_;
};

}  // namespace novel
