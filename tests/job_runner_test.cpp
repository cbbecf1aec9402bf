#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/job_runner.h"

using namespace restorix;

namespace {

// A worker that passes its stop point again and again until it is stopped.
class CountingJob {
public:
    explicit CountingJob(std::atomic<bool>& ended) : ended_(ended) {}

    void start() {
        runner.start([this] {
            while (control.proceed()) passes_.fetch_add(1);
            ended_.store(true);
        });
    }
    // Whether the worker stands still for a while: one pass that was past the
    // stop point when the pause came may still end.
    bool held() const {
        const long from = passes_.load();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return passes_.load() <= from + 1;
    }
    // Whether the worker passes its stop point again within a few seconds.
    bool goesOn() const {
        const long from = passes_.load();
        for (int wait = 0; wait < 5000; ++wait) {
            if (passes_.load() > from + 1) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    JobControl control;
    JobRunner runner{control};  // after the control: joined before it goes

private:
    std::atomic<bool>& ended_;
    std::atomic<long> passes_{0};
};

struct FailureCase {
    const char* name;
    const char* workThrows;      // nullptr: the work ends normally
    const char* onFinishedThrows;
    const char* expected;        // what wait() raises
};
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class JobRunnerFailure : public ::testing::TestWithParam<FailureCase> {};

// Nothing leaves the worker thread: what it threw is raised to the caller of
// wait(), once, after the end was signalled.
TEST_P(JobRunnerFailure, WhatTheWorkerThrowsIsRaisedOnceToTheWaiter) {
    const FailureCase& c = GetParam();
    JobControl control;
    JobRunner runner(control);
    std::atomic<bool> finishedWhenSignalled{false};
    runner.setOnFinished([&] {
        finishedWhenSignalled = runner.finished();
        if (c.onFinishedThrows) throw std::runtime_error(c.onFinishedThrows);
    });
    ASSERT_TRUE(runner.start([&] {
        if (c.workThrows) throw std::runtime_error(c.workThrows);
    }));
    try {
        runner.wait();
        ADD_FAILURE() << "nothing raised";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), c.expected);
    }
    EXPECT_TRUE(finishedWhenSignalled.load());
    EXPECT_NO_THROW(runner.wait());
    EXPECT_FALSE(runner.start([] {}));
}

INSTANTIATE_TEST_SUITE_P(
    Worker, JobRunnerFailure,
    ::testing::Values(FailureCase{"TheWork", "read failed", nullptr, "read failed"},
                      FailureCase{"TheEndSignal", nullptr, "post failed", "post failed"},
                      FailureCase{"TheFirstOfTwo", "read failed", "post failed", "read failed"}),
    [](const auto& info) { return std::string(info.param.name); });

// A stop ends a paused worker, whether the caller waits for it or the
// runner goes out of scope.
class JobRunnerStopWhilePaused : public ::testing::TestWithParam<bool /*by the destructor*/> {};

TEST_P(JobRunnerStopWhilePaused, EndsTheWorker) {
    std::atomic<bool> ended{false};
    auto job = std::make_unique<CountingJob>(ended);
    job->start();
    job->runner.pause();
    EXPECT_TRUE(job->held());
    if (GetParam()) {
        job.reset();
    } else {
        job->runner.requestStop();
        job->runner.wait();
        EXPECT_TRUE(job->runner.finished());
    }
    EXPECT_TRUE(ended.load());
}

INSTANTIATE_TEST_SUITE_P(Stop, JobRunnerStopWhilePaused, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ByTheDestructor" : "ByWait"; });

struct AskCase {
    const char* name;
    bool pausedBefore;
    bool answerStops;
    bool pausedAfter;
    bool goesOn;
};
void PrintTo(const AskCase& c, std::ostream* os) { *os << c.name; }

class JobRunnerAsking : public ::testing::TestWithParam<AskCase> {};

// The worker stands still while the question is open; afterwards it goes on
// only when it ran before and the answer did not stop it.
TEST_P(JobRunnerAsking, HoldsTheWorkerWhileTheQuestionIsOpen) {
    const AskCase& c = GetParam();
    std::atomic<bool> ended{false};
    CountingJob job(ended);
    job.start();
    if (c.pausedBefore) job.runner.pause();
    bool heldWhileAsked = false;
    {
        const PausedWhileAsking held = job.runner.pausedWhileAsking();
        heldWhileAsked = job.runner.paused() && job.held();
        if (c.answerStops) job.runner.requestStop();
    }
    EXPECT_TRUE(heldWhileAsked);
    EXPECT_EQ(job.runner.paused(), c.pausedAfter);
    EXPECT_TRUE(c.goesOn ? job.goesOn() : job.held());
    job.runner.requestStop();
    job.runner.wait();
}

INSTANTIATE_TEST_SUITE_P(
    Question, JobRunnerAsking,
    ::testing::Values(AskCase{"NoLetsTheWorkerGoOn", false, false, false, true},
                      AskCase{"AStopKeepsItHeld", false, true, true, false},
                      AskCase{"APausedWorkerStaysPaused", true, false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
