#include "dictionary/analysis_job.h"

#include <string>
#include <utility>

#include "dictionary/code_rows.h"
#include "dictionary/dictionary_decoder.h"
#include "activitylog/log_lines.h"

namespace restorix {

namespace {

class NoLog : public LogSink {
public:
    bool appendLog(std::string_view) override { return true; }
};

// What the analysis could not read, told once it has read what it could.
void tellAnalysisLosses(const Database& database, const Catalog& catalog, MessageSink& messages, LogSink& log,
                        std::string_view caption) {
    tellUnreadableBlocks(database.datafiles, messages, log, caption);
    if (catalog.dictionaryBlocksNotRead == 0) return;
    const std::string text = dictionaryBlocksNotReadText(catalog.dictionaryBlocksNotRead);
    logWarning(log, text);
    messages.showMessage(text, caption);
}

// The scan and the two passes.
AnalysisResult runAnalysisSteps(Recovery& recovery, ProgressSink& progress, MessageSink& messages,
                                std::string_view caption, const ScanOptions& options) {
    JobControl& control = recovery.analysisControl;
    recovery.catalog.dictionaryBlocksNotRead = 0;
    if (control.stopRequested()) return AnalysisResult::analysisCompleted;
    recovery.database.blockIndex.clear();
    const ScanResult scan =
        scanDatafiles(recovery.database.datafiles, recovery.database.blockIndex, recovery.database.release, progress,
                                          control, messages, std::string(caption), options);
    if (scan == ScanResult::UnsupportedVersion) return AnalysisResult::unsupportedVersion;
    if (scan == ScanResult::ForeignDatafile || scan == ScanResult::NothingReadable)
        return AnalysisResult::datafileRefused;
    // The first pass belongs to the scan: it runs only when the index was built.
    if (scan == ScanResult::Completed) decodeDictionaryPass1(recovery, progress);
    if (control.stopRequested()) return AnalysisResult::analysisCompleted;
    progress.setPhase(kReadingColumnsText);
    decodeDictionaryPass2(recovery, progress);
    // The views' and triggers' texts, named through the catalog the passes made.
    if (decodeViewAndTriggerRows(recovery.database, recovery.catalog, control))
        decodeStoredSource(recovery.database, recovery.catalog, control);
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

AnalysisResult runAnalysis(Recovery& recovery, ProgressSink& progress, MessageSink& messages, std::string_view caption,
                           const ScanOptions& options, LogSink* log) {
    NoLog noLog;
    const AnalysisResult result = runAnalysisSteps(recovery, progress, messages, caption, options);
    tellAnalysisLosses(recovery.database, recovery.catalog, messages, log ? *log : noLog, caption);
    return result;
}

AnalysisJob::AnalysisJob(Recovery& recovery, ProgressSink& progress, MessageSink& messages, LogSink& log,
                         const Clock& clock, std::string caption, ScanOptions options)
    : recovery_(recovery), progress_(progress), messages_(messages), log_(log), clock_(clock),
      caption_(std::move(caption)), options_(options) {}

bool AnalysisJob::start() {
    if (runner_.started()) return false;
    recovery_.catalog.partial = false;
    ending_.store(Ending::None);
    return runner_.start([this] { work(); });
}

void AnalysisJob::work() {
    jobResult_ = runAnalysis(recovery_, progress_, messages_, caption_, options_, &log_);
    for (std::size_t i = 0; i < recovery_.database.datafiles.size(); ++i)
        if (recovery_.database.datafiles.at(i).cutShort)
            logDatafileCutShort(log_, cutShortWarning(recovery_.database.datafiles, i));
}

AnalysisResult AnalysisJob::wait() {
    runner_.wait();
    switch (ending_.load()) {
        case Ending::Stopped:
            recovery_.database.datafiles.close();
            recovery_.catalog.releaseCatalog();
            recovery_.database.blockIndex.clear();
            return AnalysisResult::analysisStopped;
        case Ending::Closed:
            recovery_.database.datafiles.close();
            recovery_.catalog.partial = true;
            return AnalysisResult::analysisCompleted;
        case Ending::None:
            break;
    }
    return jobResult_;
}

void AnalysisJob::togglePause() {
    if (runner_.paused()) {
        logAnalysisResumed(log_, clock_);
        runner_.resume();
    } else {
        logAnalysisPaused(log_, clock_);
        runner_.pause();
    }
}

void AnalysisJob::confirmStop() {
    ending_.store(Ending::Stopped);
    runner_.requestStop();
    logAnalysisStopped(log_, clock_);
}

bool AnalysisJob::stop(QuestionPrompter& prompter, std::string_view question) {
    const PausedWhileAsking held = runner_.pausedWhileAsking();
    if (prompter.askYesNo(question, caption_)) {
        confirmStop();
        return true;
    }
    logAnalysisStopDeclined(log_, clock_);
    return false;
}

bool AnalysisJob::close(QuestionPrompter& prompter, std::string_view question) {
    const PausedWhileAsking held = runner_.pausedWhileAsking();
    if (prompter.askYesNo(question, caption_)) {
        ending_.store(Ending::Closed);
        runner_.requestStop();
        logAnalysisClosed(log_, clock_);
        return true;
    }
    logAnalysisStopDeclined(log_, clock_);
    return false;
}

bool AnalysisJob::escape(QuestionPrompter& prompter, std::string_view question) {
    const PausedWhileAsking held = runner_.pausedWhileAsking();
    if (!prompter.askYesNo(question, caption_)) return false;
    runner_.requestStop();
    return true;
}

}  // namespace restorix
