#pragma once
// Runs one job on a worker thread of its own: starts it once, stops, pauses
// and resumes it through its JobControl, and hands what the worker threw to
// the thread that waits for it. The analysis and the saving run on it.

#include <atomic>
#include <exception>
#include <functional>
#include <thread>
#include <utility>

#include "platform/job_control.h"

namespace restorix {

class PausedWhileAsking;

class JobRunner {
public:
    // The control outlives the runner; it is the one the job's code calls
    // proceed() on.
    explicit JobRunner(JobControl& control) : control_(control) {}
    // Stops a worker still running and waits for it to end.
    ~JobRunner();
    JobRunner(const JobRunner&) = delete;
    JobRunner& operator=(const JobRunner&) = delete;

    // Clears the control and runs `work` on a new thread; false (and nothing
    // started) when this runner has started a worker before, whether it
    // still runs or has ended.
    bool start(std::function<void()> work);
    // Called on the worker thread once the work has ended, however it ended,
    // so that a window learns of the end without polling. Set before start().
    void setOnFinished(std::function<void()> onFinished) { onFinished_ = std::move(onFinished); }
    // Waits for the worker to end. What the worker threw (a read error of the
    // datafile, memory run out) is raised here, on the caller's thread, once.
    void wait();
    bool started() const { return started_; }
    bool finished() const { return finished_.load(); }

    void requestStop() { control_.requestStop(); }
    bool stopRequested() const { return control_.stopRequested(); }
    void pause() { control_.pause(); }
    void resume() { control_.resume(); }
    bool paused() const { return control_.paused(); }
    // Holds the worker while a question about it is open (PausedWhileAsking).
    PausedWhileAsking pausedWhileAsking();

private:
    void runWorker(const std::function<void()>& work);
    // Runs `step`, keeping the first exception it throws for wait().
    void keepFailureOf(const std::function<void()>& step);

    JobControl& control_;
    std::function<void()> onFinished_;
    bool started_ = false;
    std::atomic<bool> finished_{false};
    std::exception_ptr failure_;
    std::thread worker_;
};

// Holds a job at its next stop point while the user answers a question
// about it, from construction to destruction. The job goes on afterwards
// unless the user had paused it before (it stays paused) or the answer
// stopped it (a stopped job has nothing to resume).
class PausedWhileAsking {
public:
    explicit PausedWhileAsking(JobControl& control) : control_(control), wasPaused_(control.paused()) {
        control_.pause();
    }
    ~PausedWhileAsking() {
        if (!wasPaused_ && !control_.stopRequested()) control_.resume();
    }
    PausedWhileAsking(const PausedWhileAsking&) = delete;
    PausedWhileAsking& operator=(const PausedWhileAsking&) = delete;

private:
    JobControl& control_;
    const bool wasPaused_;
};

inline PausedWhileAsking JobRunner::pausedWhileAsking() { return PausedWhileAsking(control_); }

}  // namespace restorix
