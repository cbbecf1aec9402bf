#pragma once
// What every command of the command line shares: exit codes, opening the
// datafile, terminal progress, messages on stderr, and Ctrl-C.

#include <functional>
#include <string>
#include <string_view>

#include "dictionary/recovery.h"
#include "platform/job_control.h"

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
    kInterrupted = 130,
};

// Prints on stderr; UTF-8 throughout.
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

// Fills sourcePath (upper-cased) and sourceTitle and opens the datafile by the
// path as given. Returns kSuccess or kDatafileNotOpened after printing the
// reason.
int openDatafile(Recovery& recovery, const std::string& path);

// "sys", "users" or "all".
RecoveryOption parseSchemasOption(const std::string& value);

// Opens the datafile, writes the start-up header and the "STEP 1::" lines
// to the activity log as the windows do, and runs the analysis with terminal
// progress; Ctrl-C takes the analysis' Stop path. Returns kSuccess when the
// catalog is ready (also after "Block size too big", which leaves it empty),
// else the command's exit code (datafile not opened, unsupported release,
// interrupted).
int analyzeDatafile(Recovery& recovery, const std::string& path, RecoveryOption option);

// Ctrl-C: while a guard is alive, SIGINT runs `onInterrupt` on a watcher
// thread (never inside a signal handler), once.
class InterruptGuard {
public:
    explicit InterruptGuard(std::function<void()> onInterrupt);
    ~InterruptGuard();
    bool interrupted() const;

private:
    struct State;
    State* state_;
};

}  // namespace restorix::cli
