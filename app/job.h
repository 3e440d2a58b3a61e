#pragma once
// One core job on a thread of its own, its progress and result delivered on
// the window thread. The window thread never waits on it: dropping the
// handle requests the stop and returns at once, and a job that does not
// heed the stop (a name lookup) finishes on its own and finds nobody to
// tell. Anything the work uses must be its own (copied or shared), never
// the window's.

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <utility>

namespace novel {

namespace job_detail {

// What a run and its handle share; the run may outlive the handle.
class RunState {
public:
    explicit RunState(QObject* receiver) : receiver_(receiver) {}
    // Queued to the receiver's thread; dropped once the handle is gone.
    void post(std::function<void()> on_window_thread);
    void detach();
    std::stop_source stop;

private:
    std::mutex mutex_;
    QObject* receiver_;
};

}  // namespace job_detail

// Handed to the work on its thread.
class JobLink {
public:
    explicit JobLink(std::shared_ptr<job_detail::RunState> run) : run_(std::move(run)) {}
    [[nodiscard]] std::stop_token stop_token() const { return run_->stop.get_token(); }
    // Runs on the window thread soon, unless the handle is gone by then.
    void post(std::function<void()> on_window_thread) const {
        run_->post(std::move(on_window_thread));
    }

private:
    std::shared_ptr<job_detail::RunState> run_;
};

class JobHandle {
public:
    // Made on the window thread, where results will be delivered.
    JobHandle() = default;
    // Requests the stop and returns at once; nothing the run posts after
    // this is delivered.
    ~JobHandle();
    JobHandle(const JobHandle&) = delete;
    JobHandle& operator=(const JobHandle&) = delete;

    // Starts work(link) on a new thread and done(result) on the window
    // thread once it returns. A run started before is cut loose: its result
    // is no longer delivered. Result must be copyable.
    template <typename Work, typename Done>
    void start(Work work, Done done) {
        cut_loose();
        // A receiver for each run: deleting it drops what the run has queued.
        receiver_ = std::make_unique<QObject>();
        auto run = std::make_shared<job_detail::RunState>(receiver_.get());
        current_ = run;
        running_ = true;
        std::thread([run, work = std::move(work), done = std::move(done), this_handle = this] {
            auto result = work(JobLink(run));
            run->post([result = std::move(result), done, this_handle]() mutable {
                // Posted through the receiver the handle owns: the handle is alive.
                this_handle->running_ = false;
                done(std::move(result));
            });
        }).detach();
    }

    void request_stop();
    // Stops the run and delivers nothing more of it.
    void abandon();
    // Between start and the delivery of its result.
    [[nodiscard]] bool running() const { return running_; }

private:
    void cut_loose();

    std::unique_ptr<QObject> receiver_;
    std::shared_ptr<job_detail::RunState> current_;
    bool running_ = false;
};

}  // namespace novel
