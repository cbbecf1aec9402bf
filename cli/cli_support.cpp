#include "cli/cli_support.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

#include "dictionary/analysis_job.h"
#include "platform/clock.h"
#include "activitylog/activity_log.h"
#include "activitylog/log_lines.h"

namespace restorix::cli {

void printError(std::string_view text) {
    std::cerr << text << '\n';
    std::cerr.flush();
}

void StderrMessages::showMessage(std::string_view text, std::string_view /*caption*/) { printError(text); }

TerminalProgress::TerminalProgress() : enabled_(isatty(STDERR_FILENO) != 0) {}

TerminalProgress::~TerminalProgress() { finish(); }

void TerminalProgress::setCaption(std::string_view text) {
    label_ = std::string(text);
    draw();
}
void TerminalProgress::setPhase(std::string_view text) {
    label_ = std::string(text);
    draw();
}
void TerminalProgress::setProgress(int percent) {
    if (percent == primary_) return;
    primary_ = percent;
    draw();
}
void TerminalProgress::setTableName(std::string_view text) {
    label_ = std::string(text);
    draw();
}
void TerminalProgress::setCurrentProgress(int percent) {
    if (percent == primary_) return;
    primary_ = percent;
    draw();
}
void TerminalProgress::setOverallProgress(int percent) {
    if (percent == secondary_) return;
    secondary_ = percent;
    draw();
}

void TerminalProgress::draw() {
    if (!enabled_) return;
    constexpr int kWidth = 30;
    auto bar = [](int percent) {
        const int filled = std::clamp(percent, 0, 100) * kWidth / 100;
        return "[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') + "]";
    };
    std::string line = "\r" + bar(primary_);
    if (secondary_ >= 0) line += " " + bar(secondary_);
    line += " " + label_.substr(0, 40);
    line += "\x1b[K";
    std::cerr << line << std::flush;
    drawn_ = true;
}

void TerminalProgress::finish() {
    if (enabled_ && drawn_) std::cerr << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

namespace {

std::string upperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

}  // namespace

int openDatafile(Recovery& recovery, const std::string& path) {
    recovery.sourcePath = upperCased(std::filesystem::absolute(path).lexically_normal().string());
    recovery.sourceTitle = std::filesystem::path(path).stem().string();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        printError("No such file exists.");
        return kDatafileNotOpened;
    }
    if (!recovery.datafile.open(path)) {
        printError("The selected file is already being used by another process.");
        return kDatafileNotOpened;
    }
    return kSuccess;
}

RecoveryOption parseSchemasOption(const std::string& value) {
    if (value == "sys") return RecoveryOption::SysOnly;
    if (value == "all") return RecoveryOption::All;
    return RecoveryOption::AllButSys;
}

int analyzeDatafile(Recovery& recovery, const std::string& path, RecoveryOption option) {
    recovery.setOption(option);
    ActivityLog log;
    SystemClock clock;
    logStartupHeader(log, clock, recovery.versionText);
    if (int code = openDatafile(recovery, path); code != kSuccess) return code;
    logAnalysisStart(log, clock, recovery.sourcePath);

    TerminalProgress progress;
    StderrMessages messages;
    AnalysisJob job(recovery, progress, messages, log, clock);
    AnalysisResult result;
    {
        InterruptGuard interrupt([&] { job.confirmStop(); });
        result = job.run();
    }
    progress.finish();
    switch (result) {
        case AnalysisResult::unsupportedVersion: return kUnsupportedVersion;
        case AnalysisResult::analysisStopped: return kInterrupted;
        case AnalysisResult::analysisCompleted: return kSuccess;
    }
    return kSuccess;
}

struct InterruptGuard::State {
    std::function<void()> onInterrupt;
    std::atomic<bool> done{false};
    std::atomic<bool> interrupted{false};
    std::thread watcher;
    sigset_t previousMask{};
};

InterruptGuard::InterruptGuard(std::function<void()> onInterrupt) : state_(new State) {
    state_->onInterrupt = std::move(onInterrupt);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    // Threads started from here on inherit the mask, so only the watcher sees SIGINT.
    pthread_sigmask(SIG_BLOCK, &set, &state_->previousMask);
    state_->watcher = std::thread([s = state_, set] {
        const timespec tick{0, 100'000'000};
        while (!s->done.load()) {
            if (sigtimedwait(&set, nullptr, &tick) == SIGINT && !s->interrupted.exchange(true)) {
                s->onInterrupt();
            }
        }
    });
}

InterruptGuard::~InterruptGuard() {
    state_->done.store(true);
    state_->watcher.join();
    pthread_sigmask(SIG_SETMASK, &state_->previousMask, nullptr);
    delete state_;
}

bool InterruptGuard::interrupted() const { return state_->interrupted.load(); }

}  // namespace restorix::cli
