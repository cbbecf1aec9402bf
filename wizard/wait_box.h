#pragma once
// "Please wait..." while one preview job runs on a worker thread. The box
// stays up at least the minimum time and cannot be dismissed before the job
// has ended; it closes itself and hands the job's result on.

#include <QDialog>
#include <QElapsedTimer>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <thread>

#include "preview/preview_jobs.h"
#include "wizard/ui_bridge.h"

namespace restorix::wizard {

class WaitBox : public QDialog {
    Q_OBJECT
public:
    WaitBox(UiQueue& ui, std::chrono::milliseconds minimum, QWidget* parent = nullptr);
    ~WaitBox() override;

    using Job = std::function<PreviewList()>;
    // The job's list, or what it threw (and an empty list).
    using Done = std::function<void(PreviewList, std::exception_ptr)>;
    // Shows the box and runs the job on its own thread; `done` runs on the
    // user-interface thread once the box has closed.
    void run(Job job, Done done);
    bool jobRunning() const { return running_.load(); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override {}

private:
    void jobEnded(PreviewList result, std::exception_ptr failure);

    UiQueue& ui_;
    std::chrono::milliseconds minimum_;
    QElapsedTimer shown_;
    std::thread worker_;
    std::atomic<bool> running_{false};
    Done done_;
};

inline constexpr const char* kPleaseWait = "Please wait...";

}  // namespace restorix::wizard
