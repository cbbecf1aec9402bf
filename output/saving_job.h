#pragma once
// The saving job: walks the recovered catalog in a fixed order and writes the
// whole output folder (Commit.bat and commit.sh, users, Import.bat and
// import.sh, per schema the Create Table and data scripts, indexes and
// constraints, views and triggers, procedures and functions). It only reads
// the database and the catalog; the recovery's owner frees them after a
// completed save (Recovery::releaseAfterSaving). It runs
// on a worker thread behind a controller that offers what the File Saving
// dialog offers: Pause/Resume, Stop, Skip Table, Escape and the two closes.

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "dictionary/recovery.h"
#include "platform/clock.h"
#include "platform/job_control.h"
#include "platform/job_runner.h"
#include "output/code_statements.h"
#include "tabledata/saving_state.h"
#include "activitylog/activity_log.h"

namespace restorix {

enum class SavingResult {
    saveCompleted,         // every step ran
    saveStopped,           // Stop was confirmed: nothing more was written
    cannotOpenTargetFile,  // a file could not be created or written: the message was shown and
                           // logged; the front end ends the process with code 1
};

// What a save needs besides the recovery: where to write, the Oracle
// client's bin folder that Import.bat hands to Commit.bat, and the caption
// the front end gives the boxes the save shows and the questions it asks.
struct SavingSetup {
    std::filesystem::path outputRoot;  // already created
    std::string oracleBinFolder;       // e.g. "/u01/app/oracle\bin"
    std::string messageCaption;
};

// Left in the output root when a save is stopped or fails: the step, the
// table and the time it ended at.
inline constexpr std::string_view kIncompleteNoteName = "INCOMPLETE.txt";

// The job itself, on the calling thread. Clears the stop request first.
// Messages ("Cannot open target file" with the file and the system's reason,
// the INCOMPLETE.txt notice) go to `messages`; progress to state.progress; a
// failed write is logged.
SavingResult runSaving(AnalysedDatabase analysed, SavingState& state, MessageSink& messages, LogSink& log,
                       const Clock& clock, const SavingSetup& setup);

// Whether the data step reads the rows of table N of user U under the chosen
// recovery option. When it does not, the schema's data step ends.
bool tableDataWanted(const RecoveryOptions& options, int objectNumber, DictionaryNumber userNumber);

// What one procedure or function adds to Procedures\Procedures.sql: every
// stored line in ascending line number, each followed by CR LF, line 1 with
// its "Create or replace" header, then the closing "/" lines; as data
// (statementRunAsData, the lines joined as stored) when a line would end the
// statement early or run as a command. Empty when no line was stored.
std::string storedCodeScriptText(StoredCodeKind kind, std::string_view schemaName,
                                 std::span<const SourceLineEntry> sourceLines);

class SavingJob {
public:
    SavingJob(AnalysedDatabase analysed, SavingState& state, MessageSink& messages, LogSink& log, const Clock& clock,
              SavingSetup setup);
    SavingJob(const SavingJob&) = delete;
    SavingJob& operator=(const SavingJob&) = delete;

    // Starts the worker; false (and nothing started) when this job has
    // already been started, whether it still runs or has finished.
    bool start();
    // Called on the worker thread once the job has ended (completed, stopped
    // or failed); it should only post to the caller's own thread. Set before start().
    void setOnFinished(std::function<void()> onFinished) { runner_.setOnFinished(std::move(onFinished)); }
    // Waits for the worker. A completed save appends the completion lines to
    // the activity log. An error reading the datafile (FileError) is raised
    // here, on the caller's thread.
    SavingResult wait();
    SavingResult run() {
        start();
        return wait();
    }
    bool finished() const { return runner_.finished(); }

    // Pause button: pauses when running (Skip Table disabled during the
    // Create Table or data step), resumes when paused (Skip Table enabled
    // again during the data step).
    void togglePause();
    bool isPaused() const { return runner_.paused(); }

    // The questions are the front end's words.
    // Stop button: true when answered Yes. Then nothing more is written, the
    // stop lines and the aborted line are logged, and this returns at once
    // without waiting for the worker.
    bool stop(QuestionPrompter& prompter, std::string_view question);
    // The Yes path of Stop without a question (Ctrl-C on the command line).
    void confirmStop();

    // Skip Table button: asks while a table's rows are being read (the
    // worker is held meanwhile); true when the question was asked.
    bool skipTable(QuestionPrompter& prompter, std::string_view question);

    // Escape: true when answered Yes; the front end then ends the process
    // with code 0 (the abort line is logged, nothing more is written).
    bool escape(QuestionPrompter& prompter, std::string_view question);
    // Close button, Alt+F4, system-menu Close, exit picture: asks without
    // holding the worker; true: the front end ends the process with code 0,
    // nothing logged.
    bool closeWindow(QuestionPrompter& prompter, std::string_view question);

private:
    // The worker's part: the steps and, when the save was not stopped, its
    // completion lines.
    void work();

    AnalysedDatabase analysed_;
    SavingState& state_;
    MessageSink& messages_;
    LogSink& log_;
    const Clock& clock_;
    SavingSetup setup_;
    SavingResult jobResult_ = SavingResult::saveCompleted;
    // Last: its worker is stopped and joined before the rest goes.
    JobRunner runner_{state_.control};
};

}  // namespace restorix
