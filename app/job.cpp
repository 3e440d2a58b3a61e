#include "app/job.h"

#include <QMetaObject>

namespace novel {
namespace job_detail {

void RunState::post(std::function<void()> on_window_thread) {
    // Held while posting, so the handle cannot delete the receiver in between;
    // events still queued for it go with it.
    const std::lock_guard lock(mutex_);
    if (receiver_ == nullptr) return;
    QMetaObject::invokeMethod(receiver_, std::move(on_window_thread), Qt::QueuedConnection);
}

void RunState::detach() {
    const std::lock_guard lock(mutex_);
    receiver_ = nullptr;
}

}  // namespace job_detail

JobHandle::~JobHandle() { abandon(); }

void JobHandle::abandon() {
    request_stop();
    cut_loose();
}

void JobHandle::request_stop() {
    if (current_) current_->stop.request_stop();
}

void JobHandle::cut_loose() {
    if (current_) current_->detach();
    current_.reset();
    receiver_.reset();
    running_ = false;
}

}  // namespace novel
