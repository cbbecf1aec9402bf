#pragma once
// How a job talks to whoever runs it: the command line, the windows or a test.
// A job takes these by reference and never knows which front end is behind them.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string_view>

namespace restorix {

// Progress of a running job. Every method has an empty default so a front end
// implements only what its dialog shows.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Analysis dialog: group-box caption, the pass label, the status label, the bar.
    virtual void setCaption(std::string_view) {}
    virtual void setPhase(std::string_view) {}
    virtual void setStatus(std::string_view) {}
    virtual void setProgress(int /*percent 0..100*/) {}
    // File Saving dialog.
    virtual void setTableName(std::string_view) {}
    virtual void setFilePath(std::string_view) {}
    virtual void setCurrentProgress(int) {}
    virtual void setOverallProgress(int) {}
    virtual void setSkipEnabled(bool) {}
};

// Message boxes: information and error texts with their caption.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(std::string_view text, std::string_view caption) = 0;
};

// Yes/No questions.
class QuestionPrompter {
public:
    virtual ~QuestionPrompter() = default;
    virtual bool askYesNo(std::string_view question, std::string_view caption) = 0;
};

// Cooperative stop and pause in place of suspending and terminating a thread.
// The job calls proceed() at its stop points; the controller calls the rest
// from any thread.
class JobControl {
public:
    void requestStop() {
        stop_.store(true);
        wake();
    }
    bool stopRequested() const { return stop_.load(); }

    void pause() { paused_.store(true); }
    void resume() {
        paused_.store(false);
        wake();
    }
    bool paused() const { return paused_.load(); }

    // Blocks while paused; false once a stop was requested.
    bool proceed() {
        if (paused_.load()) {
            std::unique_lock lock(mutex_);
            wakeup_.wait(lock, [this] { return !paused_.load() || stop_.load(); });
        }
        return !stop_.load();
    }

    void reset() {
        stop_.store(false);
        paused_.store(false);
    }

private:
    void wake() {
        std::lock_guard lock(mutex_);
        wakeup_.notify_all();
    }

    std::atomic<bool> stop_{false};
    std::atomic<bool> paused_{false};
    std::mutex mutex_;
    std::condition_variable wakeup_;
};

}  // namespace restorix
