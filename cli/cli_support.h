#pragma once
// What every command of the command line shares: exit codes, opening the
// datafile, terminal progress, messages on stderr, and Ctrl-C.

#include <functional>
#include <string>
#include <string_view>

#include "activitylog/activity_log.h"
#include "dictionary/recovery.h"
#include "platform/clock.h"
#include "platform/job_control.h"
#include "platform/terminal_text.h"

namespace restorix::cli {

enum ExitCode : int {
    kSuccess = 0,
    kCannotOpenTargetFile = 1,
    kDatafileNotOpened = 2,
    kUnsupportedVersion = 3,
    kBlockSizeTooBig = 4,
    kObjectNotFound = 5,
    kOutputFolderMissing = 6,
    kUsageError = 64,
    kInternalError = 70,  // "Out Of Memory" and other failures that end the run
    kInterrupted = 130,  // Ctrl-C; SIGTERM and SIGHUP end with 143 and 129 (InterruptGuard::exitCode)
};

// The caption the jobs give their messages (stderr shows the text alone) and
// the version the activity log's header names.
inline constexpr std::string_view kMessageCaption = " Restorix for Oracle Database";
inline constexpr std::string_view kVersionText = "Version 2.0.0";

// Prints on stderr, through terminalText with its line feeds; UTF-8 throughout.
void printError(std::string_view text);

class StderrMessages : public MessageSink {
public:
    void showMessage(std::string_view text, std::string_view caption) override;
};

// Draws the bar(s) on stderr when stderr is a terminal, nothing otherwise.
class TerminalProgress : public ProgressSink {
public:
    TerminalProgress();
    ~TerminalProgress() override;
    void setCaption(std::string_view text) override;
    void setPhase(std::string_view text) override;
    void setProgress(int percent) override;
    void setTableName(std::string_view text) override;
    void setCurrentProgress(int percent) override;
    void setOverallProgress(int percent) override;
    void finish();

private:
    void draw();
    bool enabled_;
    std::string label_;
    int primary_ = -1;
    int secondary_ = -1;
    bool drawn_ = false;
};

// Ctrl-C, and the requests to end that a shell, a service manager or a
// closed terminal send (SIGINT, SIGTERM, SIGHUP): while a guard is alive they
// are taken by a watcher thread (never inside a signal handler). The first
// one runs the action in place at that moment, once; an action put in place
// after it runs at once. A command checks interrupted() between its jobs and
// ends with exitCode(). A second signal ends the run at once: a stop that
// hangs (a report no one reads, a stuck disk) never keeps the user waiting.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Puts `action` in place until the returned scope ends.
    class Scope {
    public:
        explicit Scope(InterruptGuard& guard) : guard_(guard) {}
        ~Scope() { guard_.setAction({}); }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        InterruptGuard& guard_;
    };
    [[nodiscard]] Scope onInterrupt(std::function<void()> action);
    // Until the scope ends, a signal that comes ends the run at once (one that
    // came before does not): for work that cannot be stopped half-way and may
    // wait for ever, such as writing to a pipe.
    [[nodiscard]] Scope endRunOnInterrupt();
    bool interrupted() const;
    // 128 plus the number of the first signal taken, as a shell reports a
    // program ended by it: 130 for Ctrl-C, 143 for SIGTERM, 129 for SIGHUP.
    int exitCode() const;

private:
    void setAction(std::function<void()> action, bool runIfInterrupted = true);
    void releaseState();
    struct State;
    State* state_;
};

// What a command shares for its whole run: the activity log, the clock,
// terminal progress, messages on stderr and Ctrl-C.
struct CommandSession {
    ActivityLog log;
    SystemClock clock;
    TerminalProgress progress;
    StderrMessages messages;
    InterruptGuard interrupt;
};

// Fills sourcePath (upper-cased) and sourceTitle from the first path and opens
// every datafile by its path as given. Returns kSuccess or kDatafileNotOpened
// after printing the message and, on the next line, the file and the reason.
int openDatafiles(Recovery& recovery, const std::vector<std::string>& paths);

// "sys", "users" or "all".
RecoveryOption parseSchemasOption(const std::string& value);

// Opens the datafile, writes the start-up header and the "STEP 1::" lines
// to the activity log as the windows do, and runs the analysis with terminal
// progress; Ctrl-C takes the analysis' Stop path. Returns kSuccess when the
// catalog is ready (also after "Block size too big", which leaves it empty),
// else the command's exit code (datafile not opened, unsupported release,
// interrupted, also when Ctrl-C came just as the analysis ended). A read
// error of the datafile is raised as FileError.
// With several files, the SYSTEM file found by the analysis names the source.
int analyzeDatafiles(CommandSession& session, Recovery& recovery, const std::vector<std::string>& paths,
                     RecoveryOption option);

}  // namespace restorix::cli
