#pragma once
// The analysis: version search, block scan and the two dictionary passes, run
// as one job on a worker thread, with the controller operations the Analysis
// dialog offers (Pause/Resume, Stop, close, Escape) and their log lines.

#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "datafile/block_scan.h"
#include "dictionary/recovery.h"
#include "platform/clock.h"
#include "platform/job_control.h"
#include "platform/job_runner.h"
#include "activitylog/activity_log.h"

namespace restorix {

enum class AnalysisResult {
    analysisCompleted,   // the catalog is complete, or partial after a close
    analysisStopped,     // Stop answered Yes: catalog and block index released
    unsupportedVersion,  // the message was shown; the front end ends the process
    datafileRefused,     // a file of another database, or nothing readable: the message was shown
};

// The job itself, on the calling thread. Returns unsupportedVersion or
// analysisCompleted; a stop leaves the catalog as far as it got. Blocks a
// read error left unread and the dictionary blocks not read are told on
// `messages`, with the front end's `caption`, and, when given, in `log`.
AnalysisResult runAnalysis(Recovery& recovery, ProgressSink& progress, MessageSink& messages, std::string_view caption,
                           const ScanOptions& options = {}, LogSink* log = nullptr);

// Tells every block of the datafiles that a read error left unread and that
// was not told yet: one line each, with the file, the block and its byte
// offset, in the log and together as one message.
void tellUnreadableBlocks(const DatafileSet& files, MessageSink& messages, LogSink& log, std::string_view caption);

// "N dictionary blocks not read"
std::string dictionaryBlocksNotReadText(long blocks);

class AnalysisJob {
public:
    // `caption`: the front end's, for the boxes the job shows and the
    // questions it asks.
    AnalysisJob(Recovery& recovery, ProgressSink& progress, MessageSink& messages, LogSink& log,
                const Clock& clock, std::string caption, ScanOptions options = {});
    AnalysisJob(const AnalysisJob&) = delete;
    AnalysisJob& operator=(const AnalysisJob&) = delete;

    // Starts the worker; false (and nothing started) when this job has
    // already been started, whether it still runs or has finished.
    bool start();
    // Called on the worker thread once the job has ended, so a window learns
    // of the end without polling; it should only post to its own thread.
    // Set before start().
    void setOnFinished(std::function<void()> onFinished) { runner_.setOnFinished(std::move(onFinished)); }
    // Waits for the worker, then settles what Stop or close decided. What the
    // worker threw (a read error of the datafile, memory run out) is raised
    // here, on the caller's thread.
    AnalysisResult wait();
    AnalysisResult run() {
        start();
        return wait();
    }
    bool finished() const { return runner_.finished(); }

    // Pause button: pauses when running, resumes when paused.
    void togglePause();
    bool isPaused() const { return runner_.paused(); }
    // The questions are the front end's words; the worker is held while
    // one is open.
    // Stop button: true when answered Yes.
    bool stop(QuestionPrompter& prompter, std::string_view question);
    // Stop without a question (Ctrl-C on the command line): the Yes path.
    void confirmStop();
    // Title-bar close: true when answered Yes; the catalog is then kept as partial.
    bool close(QuestionPrompter& prompter, std::string_view question);
    // Escape: true when answered Yes; the front end then ends the process.
    bool escape(QuestionPrompter& prompter, std::string_view question);

private:
    enum class Ending { None, Stopped, Closed };
    // The worker's part: the analysis and its closing log lines.
    void work();

    Recovery& recovery_;
    ProgressSink& progress_;
    MessageSink& messages_;
    LogSink& log_;
    const Clock& clock_;
    std::string caption_;
    ScanOptions options_;
    std::atomic<Ending> ending_{Ending::None};
    AnalysisResult jobResult_ = AnalysisResult::analysisCompleted;
    // Last: its worker is stopped and joined before the rest goes.
    JobRunner runner_{recovery_.analysisControl};
};

}  // namespace restorix
