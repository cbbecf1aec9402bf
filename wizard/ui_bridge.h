#pragma once
// How a job on a worker thread reaches the windows: every call it makes on
// its progress and message interfaces is carried to the user-interface thread.
// Progress keeps only the latest value of each field and is applied by a
// timer at most about 30 times a second, so a job that reports every row does
// not flood the event loop. Messages queue in order and are shown one at a time.

#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/job_control.h"

namespace restorix::wizard {

inline constexpr int kRepaintIntervalMs = 33;

// Runs actions on the user-interface thread in the order they were posted,
// one at a time: an action that shows a box (a nested event loop) finishes
// before the next one starts.
class UiQueue : public QObject {
    Q_OBJECT
public:
    explicit UiQueue(QObject* parent = nullptr) : QObject(parent) {}
    // Any thread.
    void post(std::function<void()> action);
    // Drops what is still queued (the window that would run it is gone).
    void clear();

private:
    void drain();

    std::mutex mutex_;
    std::deque<std::function<void()>> pending_;
    bool draining_ = false;  // user-interface thread only
};

// A progress sink for a job: records the latest values from any thread and
// hands them to the window's own sink (`target`, called on the user-interface
// thread) on a timer.
class CoalescedProgress : public QObject, public ProgressSink {
    Q_OBJECT
public:
    CoalescedProgress(ProgressSink& target, QObject* parent = nullptr);
    void setCaption(std::string_view text) override;
    void setPhase(std::string_view text) override;
    void setStatus(std::string_view text) override;
    void setProgress(int percent) override;
    void setTableName(std::string_view text) override;
    void setFilePath(std::string_view text) override;
    void setCurrentProgress(int percent) override;
    void setOverallProgress(int percent) override;
    void setSkipEnabled(bool enabled) override;
    // Applies what is pending now (user-interface thread); the timer calls it too.
    void flush();
    // How many times the target was updated; the benchmark reads it.
    int flushes() const { return flushes_; }

private:
    struct Pending {
        std::optional<std::string> caption, phase, status, tableName, filePath;
        std::optional<int> progress, current, overall;
        std::optional<bool> skip;
    };
    template <typename T, typename V>
    void record(std::optional<T> Pending::*field, V value);

    ProgressSink& target_;
    std::mutex mutex_;
    Pending pending_;
    QTimer timer_;
    int flushes_ = 0;
};

// Message boxes a job asks for, shown in order on the user-interface thread.
class QueuedMessages : public MessageSink {
public:
    using Show = std::function<void(const std::string& text, const std::string& caption)>;
    QueuedMessages(UiQueue& queue, Show show) : queue_(queue), show_(std::move(show)) {}
    void showMessage(std::string_view text, std::string_view caption) override;

private:
    UiQueue& queue_;
    Show show_;
};

}  // namespace restorix::wizard
