#include "dictionary/analysis_job.h"

#include <string>
#include <utility>

#include "dictionary/dictionary_decoder.h"
#include "activitylog/log_lines.h"

namespace restorix {

namespace {

class NoLog : public LogSink {
public:
    bool appendLog(std::string_view) override { return true; }
};

// What the analysis could not read, told once it has read what it could.
void tellAnalysisLosses(const Recovery& recovery, MessageSink& messages, LogSink& log) {
    tellUnreadableBlocks(recovery.datafiles, messages, log, recovery.appTitle);
    if (recovery.dictionaryBlocksNotRead == 0) return;
    const std::string text = dictionaryBlocksNotReadText(recovery.dictionaryBlocksNotRead);
    logWarning(log, text);
    messages.showMessage(text, recovery.appTitle);
}

// The scan and the two passes.
AnalysisResult runAnalysisSteps(Recovery& recovery, ProgressSink& progress, MessageSink& messages,
                                const ScanOptions& options) {
    JobControl& control = recovery.analysisControl;
    recovery.dictionaryBlocksNotRead = 0;
    if (control.stopRequested()) return AnalysisResult::analysisCompleted;
    recovery.blockIndex.clear();
    const ScanResult scan = scanDatafiles(recovery.datafiles, recovery.blockIndex, recovery.release, progress,
                                          control, messages, recovery.appTitle, options);
    if (scan == ScanResult::UnsupportedVersion) return AnalysisResult::unsupportedVersion;
    if (scan == ScanResult::ForeignDatafile || scan == ScanResult::NothingReadable)
        return AnalysisResult::datafileRefused;
    // The first pass belongs to the scan: it runs only when the index was built.
    if (scan == ScanResult::Completed) decodeDictionaryPass1(recovery, progress);
    if (control.stopRequested()) return AnalysisResult::analysisCompleted;
    progress.setPhase(kReadingColumnsText);
    decodeDictionaryPass2(recovery, progress);
    return AnalysisResult::analysisCompleted;
}

}  // namespace

void tellUnreadableBlocks(const DatafileSet& files, MessageSink& messages, LogSink& log, std::string_view caption) {
    std::string told;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Datafile& datafile = files.at(i);
        for (const std::int64_t block : datafile.unreadable.takeUntold()) {
            const std::string line = unreadableBlockText(datafile, block);
            logWarning(log, line);
            told += (told.empty() ? "" : "\n") + line;
        }
    }
    if (!told.empty()) messages.showMessage(told, caption);
}

std::string dictionaryBlocksNotReadText(long blocks) {
    return std::to_string(blocks) + " dictionary blocks not read";
}

AnalysisResult runAnalysis(Recovery& recovery, ProgressSink& progress, MessageSink& messages,
                           const ScanOptions& options, LogSink* log) {
    NoLog noLog;
    const AnalysisResult result = runAnalysisSteps(recovery, progress, messages, options);
    tellAnalysisLosses(recovery, messages, log ? *log : noLog);
    return result;
}

AnalysisJob::AnalysisJob(Recovery& recovery, ProgressSink& progress, MessageSink& messages, LogSink& log,
                         const Clock& clock, ScanOptions options)
    : recovery_(recovery), progress_(progress), messages_(messages), log_(log), clock_(clock), options_(options) {}

AnalysisJob::~AnalysisJob() {
    if (worker_.joinable()) {
        recovery_.analysisControl.requestStop();
        worker_.join();
    }
}

bool AnalysisJob::start() {
    if (started_) return false;
    started_ = true;
    recovery_.analysisControl.reset();
    recovery_.partial.store(false);
    ending_.store(Ending::None);
    finished_.store(false);
    worker_ = std::thread([this] {
        try {
            jobResult_ = runAnalysis(recovery_, progress_, messages_, options_, &log_);
            for (std::size_t i = 0; i < recovery_.datafiles.size(); ++i)
                if (recovery_.datafiles.at(i).cutShort) logDatafileCutShort(log_, cutShortWarning(recovery_.datafiles, i));
        } catch (...) {
            // A datafile that can no longer be read, or memory run out: the
            // caller of wait() handles it on its own thread.
            failure_ = std::current_exception();
        }
        finished_.store(true);
        if (onFinished_) onFinished_();
    });
    return true;
}

AnalysisResult AnalysisJob::wait() {
    if (worker_.joinable()) worker_.join();
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
    switch (ending_.load()) {
        case Ending::Stopped:
            recovery_.datafiles.close();
            recovery_.catalog.releaseCatalog();
            recovery_.blockIndex.clear();
            return AnalysisResult::analysisStopped;
        case Ending::Closed:
            recovery_.datafiles.close();
            recovery_.partial.store(true);
            return AnalysisResult::analysisCompleted;
        case Ending::None:
            break;
    }
    return jobResult_;
}

void AnalysisJob::togglePause() {
    JobControl& control = recovery_.analysisControl;
    if (control.paused()) {
        logAnalysisResumed(log_, clock_);
        control.resume();
    } else {
        logAnalysisPaused(log_, clock_);
        control.pause();
    }
}

bool AnalysisJob::holdWorker() {
    const bool wasPaused = recovery_.analysisControl.paused();
    recovery_.analysisControl.pause();
    return wasPaused;
}

void AnalysisJob::releaseWorker(bool wasPaused) {
    if (!wasPaused) recovery_.analysisControl.resume();
}

void AnalysisJob::confirmStop() {
    ending_.store(Ending::Stopped);
    recovery_.analysisControl.requestStop();
    logAnalysisStopped(log_, clock_);
}

bool AnalysisJob::stop(QuestionPrompter& prompter) {
    const bool wasPaused = holdWorker();
    if (prompter.askYesNo(kStopQuestion, recovery_.appTitle)) {
        confirmStop();
        return true;
    }
    logAnalysisStopDeclined(log_, clock_);
    releaseWorker(wasPaused);
    return false;
}

bool AnalysisJob::close(QuestionPrompter& prompter) {
    const bool wasPaused = holdWorker();
    if (prompter.askYesNo(kCloseQuestion, recovery_.appTitle)) {
        ending_.store(Ending::Closed);
        recovery_.analysisControl.requestStop();
        logAnalysisClosed(log_, clock_);
        return true;
    }
    logAnalysisStopDeclined(log_, clock_);
    releaseWorker(wasPaused);
    return false;
}

bool AnalysisJob::escape(QuestionPrompter& prompter) {
    const bool wasPaused = holdWorker();
    if (prompter.askYesNo(kExitQuestion, recovery_.appTitle)) {
        recovery_.analysisControl.requestStop();
        return true;
    }
    releaseWorker(wasPaused);
    return false;
}

}  // namespace restorix
