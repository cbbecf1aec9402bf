#include "cli/cli_support.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "dictionary/analysis_job.h"
#include "platform/clock.h"
#include "activitylog/activity_log.h"
#include "activitylog/log_lines.h"

namespace restorix::cli {

void printError(std::string_view text) {
    std::cerr << terminalText(text, LineFeeds::Kept) << '\n';
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
    line += " " + terminalText(label_.substr(0, 40));
    line += "\x1b[K";
    std::cerr << line << std::flush;
    drawn_ = true;
}

void TerminalProgress::finish() {
    if (enabled_ && drawn_) std::cerr << "\r\x1b[K" << std::flush;
    drawn_ = false;
}

namespace {

void nameSource(Recovery& recovery, const std::string& path) {
    recovery.database.nameSourceAfter(std::filesystem::absolute(path).lexically_normal().string());
}

// The message of a refusal, then the file and the reason on the next line
// (a lone missing file needs no name).
void printRefusal(const DatafileRefusal& refusal, std::size_t fileCount) {
    printError(refusalMessage(refusal.kind));
    if (refusal.kind == DatafileRefusal::Kind::Missing && fileCount == 1) return;
    printError(refusal.path + ": " + refusal.reason);
}

}  // namespace

int openDatafiles(Recovery& recovery, const std::vector<std::string>& paths) {
    nameSource(recovery, paths.front());
    if (const std::optional<DatafileRefusal> refusal = recovery.database.datafiles.open(paths)) {
        printRefusal(*refusal, paths.size());
        return kDatafileNotOpened;
    }
    return kSuccess;
}

RecoveryOption parseSchemasOption(const std::string& value) {
    if (value == "sys") return RecoveryOption::SysOnly;
    if (value == "all") return RecoveryOption::All;
    return RecoveryOption::AllButSys;
}

int analyzeDatafiles(CommandSession& session, Recovery& recovery, const std::vector<std::string>& paths,
                     RecoveryOption option) {
    recovery.options = RecoveryOptions(option);
    logStartupHeader(session.log, session.clock, kVersionText);
    if (int code = openDatafiles(recovery, paths); code != kSuccess) return code;
    logAnalysisStart(session.log, session.clock, recovery.database.sourcePath);
    if (paths.size() > 1) logDatafiles(session.log, paths);

    AnalysisJob job(recovery, session.progress, session.messages, session.log, session.clock,
                    std::string(kMessageCaption));
    AnalysisResult result;
    {
        // In place once the job has cleared its stop flag, so an early Ctrl-C holds.
        job.start();
        const InterruptGuard::Scope scope = session.interrupt.onInterrupt([&] { job.confirmStop(); });
        result = job.wait();
    }
    session.progress.finish();
    if (session.interrupt.interrupted()) return session.interrupt.exitCode();
    recovery.database.nameSourceAfterSystemFile();
    switch (result) {
        case AnalysisResult::unsupportedVersion: return kUnsupportedVersion;
        case AnalysisResult::datafileRefused: return kDatafileNotOpened;
        case AnalysisResult::analysisStopped: return session.interrupt.exitCode();
        case AnalysisResult::analysisCompleted: return kSuccess;
    }
    return kSuccess;
}

namespace {

// The signals that ask the run to end.
constexpr std::array<int, 3> kEndingSignals{SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalExitBase = 128;  // a shell's exit status for a program ended by a signal

[[noreturn]] void endRunNow(int signalNumber) { std::_Exit(kSignalExitBase + signalNumber); }

}  // namespace

struct InterruptGuard::State {
    std::mutex mutex;
    std::function<void()> action;  // guarded by mutex
    std::atomic<int> firstSignal{0};  // 0 until a signal came
    int signalFd = -1;
    int wakeFd = -1;  // written once to end the watcher at once
    std::thread watcher;
    sigset_t previousMask{};

    // The first signal runs the action in place, under the lock so that an
    // action being replaced runs once or not at all; a later one ends the run.
    void interrupt(int signalNumber) {
        std::lock_guard lock(mutex);
        int none = 0;
        if (!firstSignal.compare_exchange_strong(none, signalNumber)) endRunNow(signalNumber);
        if (action) action();
    }

    void watch() {
        std::array<pollfd, 2> fds{pollfd{signalFd, POLLIN, 0}, pollfd{wakeFd, POLLIN, 0}};
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents != 0) return;
            if ((fds[0].revents & POLLIN) == 0) continue;
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                interrupt(static_cast<int>(info.ssi_signo));
        }
    }
};

namespace {

[[noreturn]] void failToWatch(const char* what) {
    throw std::system_error(errno, std::generic_category(), std::string("Ctrl-C cannot be watched: ") + what);
}

}  // namespace

InterruptGuard::InterruptGuard() : state_(new State) {
    sigset_t set;
    sigemptyset(&set);
    for (const int signalNumber : kEndingSignals) sigaddset(&set, signalNumber);
    // Threads started from here on inherit the mask, so the signals reach only the signal descriptor.
    pthread_sigmask(SIG_BLOCK, &set, &state_->previousMask);
    state_->signalFd = ::signalfd(-1, &set, SFD_CLOEXEC);
    state_->wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (state_->signalFd < 0 || state_->wakeFd < 0) {
        const int error = errno;
        releaseState();
        errno = error;
        failToWatch("signalfd/eventfd");
    }
    try {
        state_->watcher = std::thread([s = state_] { s->watch(); });
    } catch (const std::system_error&) {
        releaseState();
        throw;
    }
}

InterruptGuard::~InterruptGuard() {
    const std::uint64_t one = 1;
    // Adding 1 to a fresh eventfd's counter cannot overflow it, so the write
    // only ever waits for a signal that interrupted it.
    while (::write(state_->wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
    }
    state_->watcher.join();
    // A signal the watcher took after the command's last look still ends the
    // run as a signal does: work finished a moment before a Ctrl-C is no
    // reason to report success for a run the user asked to end.
    const int signalNumber = state_->firstSignal.load();
    releaseState();
    if (signalNumber != 0) {
        std::fflush(nullptr);
        endRunNow(signalNumber);
    }
}

void InterruptGuard::releaseState() {
    if (state_->signalFd >= 0) ::close(state_->signalFd);
    if (state_->wakeFd >= 0) ::close(state_->wakeFd);
    pthread_sigmask(SIG_SETMASK, &state_->previousMask, nullptr);
    delete state_;
}

InterruptGuard::Scope InterruptGuard::onInterrupt(std::function<void()> action) {
    setAction(std::move(action));
    return Scope(*this);
}

InterruptGuard::Scope InterruptGuard::endRunOnInterrupt() {
    setAction([this] { endRunNow(state_->firstSignal.load()); }, false);
    return Scope(*this);
}

void InterruptGuard::setAction(std::function<void()> action, bool runIfInterrupted) {
    std::lock_guard lock(state_->mutex);
    state_->action = std::move(action);
    if (runIfInterrupted && interrupted() && state_->action) state_->action();
}

bool InterruptGuard::interrupted() const { return state_->firstSignal.load() != 0; }

int InterruptGuard::exitCode() const {
    const int signalNumber = state_->firstSignal.load();
    return signalNumber != 0 ? kSignalExitBase + signalNumber : kInterrupted;
}

}  // namespace restorix::cli
