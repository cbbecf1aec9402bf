#include "wizard/ui_bridge.h"

#include <QMetaObject>

namespace restorix::wizard {

void UiQueue::post(std::function<void()> action) {
    {
        std::lock_guard lock(mutex_);
        pending_.push_back(std::move(action));
    }
    QMetaObject::invokeMethod(this, [this] { drain(); }, Qt::QueuedConnection);
}

void UiQueue::clear() {
    std::lock_guard lock(mutex_);
    pending_.clear();
}

void UiQueue::drain() {
    // A box shown by an action runs a nested event loop that may deliver the
    // next drain; the outer one goes on once the box is closed.
    if (draining_) return;
    draining_ = true;
    for (;;) {
        std::function<void()> action;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty()) break;
            action = std::move(pending_.front());
            pending_.pop_front();
        }
        action();
    }
    draining_ = false;
}

CoalescedProgress::CoalescedProgress(ProgressSink& target, QObject* parent) : QObject(parent), target_(target) {
    timer_.setInterval(kRepaintIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &CoalescedProgress::flush);
    timer_.start();
}

template <typename T, typename V>
void CoalescedProgress::record(std::optional<T> Pending::*field, V value) {
    std::lock_guard lock(mutex_);
    pending_.*field = T(value);
}

void CoalescedProgress::setCaption(std::string_view text) { record(&Pending::caption, text); }
void CoalescedProgress::setPhase(std::string_view text) { record(&Pending::phase, text); }
void CoalescedProgress::setStatus(std::string_view text) { record(&Pending::status, text); }
void CoalescedProgress::setProgress(int percent) { record(&Pending::progress, percent); }
void CoalescedProgress::setTableName(std::string_view text) { record(&Pending::tableName, text); }
void CoalescedProgress::setFilePath(std::string_view text) { record(&Pending::filePath, text); }
void CoalescedProgress::setCurrentProgress(int percent) { record(&Pending::current, percent); }
void CoalescedProgress::setOverallProgress(int percent) { record(&Pending::overall, percent); }
void CoalescedProgress::setSkipEnabled(bool enabled) { record(&Pending::skip, enabled); }

void CoalescedProgress::flush() {
    Pending now;
    {
        std::lock_guard lock(mutex_);
        now = std::exchange(pending_, Pending{});
    }
    bool changed = false;
    auto apply = [&](const auto& value, auto setter) {
        if (!value) return;
        setter(*value);
        changed = true;
    };
    apply(now.caption, [&](const std::string& v) { target_.setCaption(v); });
    apply(now.phase, [&](const std::string& v) { target_.setPhase(v); });
    apply(now.status, [&](const std::string& v) { target_.setStatus(v); });
    apply(now.progress, [&](int v) { target_.setProgress(v); });
    apply(now.tableName, [&](const std::string& v) { target_.setTableName(v); });
    apply(now.filePath, [&](const std::string& v) { target_.setFilePath(v); });
    apply(now.current, [&](int v) { target_.setCurrentProgress(v); });
    apply(now.overall, [&](int v) { target_.setOverallProgress(v); });
    apply(now.skip, [&](bool v) { target_.setSkipEnabled(v); });
    if (changed) ++flushes_;
}

void QueuedMessages::showMessage(std::string_view text, std::string_view caption) {
    queue_.post([show = show_, text = std::string(text), caption = std::string(caption)] { show(text, caption); });
}

}  // namespace restorix::wizard
