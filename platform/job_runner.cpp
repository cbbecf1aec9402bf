#include "platform/job_runner.h"

#include <utility>

namespace restorix {

JobRunner::~JobRunner() {
    if (!worker_.joinable()) return;
    control_.requestStop();
    worker_.join();
}

bool JobRunner::start(std::function<void()> work) {
    if (started_) return false;
    started_ = true;
    control_.reset();
    finished_.store(false);
    worker_ = std::thread([this, work = std::move(work)] { runWorker(work); });
    return true;
}

void JobRunner::runWorker(const std::function<void()>& work) {
    keepFailureOf(work);
    finished_.store(true);
    keepFailureOf(onFinished_);
}

void JobRunner::keepFailureOf(const std::function<void()>& step) {
    if (!step) return;
    try {
        step();
    } catch (...) {
        // Nothing may leave a worker thread: the caller of wait() handles it
        // on its own thread.
        if (!failure_) failure_ = std::current_exception();
    }
}

void JobRunner::wait() {
    if (worker_.joinable()) worker_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

}  // namespace restorix
