#include "activitylog/log_lines.h"

#include <initializer_list>
#include <string>

namespace restorix {

namespace {

constexpr std::string_view kProductBanner =
    "*************************Restorix For Oracle Database************************";
// Six macrons (U+00AF) underline a step title; the code page stores each as byte AF.
constexpr std::string_view kStepUnderline = "\u00AF\u00AF\u00AF\u00AF\u00AF\u00AF";
constexpr std::string_view kFieldGap = "    ";
constexpr std::string_view kAnalysisAborted =
    "***************Database Analysis aborted when analysing Database**************";
constexpr std::string_view kAnalysisAbortedAtTime =
    "***************Database Analysis aborted when analysing Database at time ";
constexpr std::string_view kAnalysisResumedAtTime =
    "***************Database Analysis Resume when analysing Database at time ";
constexpr std::string_view kStarredLineEnd = " *********";

void appendEach(LogSink& log, std::initializer_list<std::string_view> texts) {
    for (const std::string_view text : texts) log.appendLog(text);
}

std::string joined(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) text += part;
    return text;
}

}  // namespace

void logStartupHeader(LogSink& log, const Clock& clock, std::string_view versionText) {
    const std::tm now = clock.now();
    const std::string date = logDate(now);
    const std::string time = logTime(now);
    appendEach(log, {kLogLineBreak, kLogLineBreak, kProductBanner, kLogLineBreak, kLogLineBreak,
                     versionText, kLogLineBreak, "Date", kFieldGap, date, kLogLineBreak, "Time",
                     kFieldGap, time, kLogLineBreak});
}

void logSelectedFileMissing(LogSink& log) {
    appendEach(log, {kLogLineBreak, "****Seleted File Does not exist*******"});
}

void logAnalysisStart(LogSink& log, const Clock& clock, std::string_view sourcePath) {
    const std::string started = joined({"Analysis of DataBase starts at time ", clockTime(clock)});
    const std::string source = joined({"Dbf Source Path: ", sourcePath, kLogLineBreak});
    appendEach(log, {kLogLineBreak, "STEP 1::", kLogLineBreak, kStepUnderline, kLogLineBreak, started,
                     kLogLineBreak, source});
}

void logDatafiles(LogSink& log, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) appendEach(log, {joined({"Datafile: ", path}), kLogLineBreak});
}

void logAnalysisCompleted(LogSink& log, const Clock& clock) {
    const std::string completed = joined({"Analysis of DataBase Completed at time ", clockTime(clock)});
    appendEach(log, {kLogLineBreak, "STEP 2::", kLogLineBreak, kStepUnderline, kLogLineBreak,
                     kLogLineBreak, completed});
}

// The analysis dialog writes each of its lines as a line break followed by the text.

void logAnalysisPaused(LogSink& log, const Clock& clock) {
    // No blank between "time" and the time: the line reads that way.
    const std::string paused = joined({"Database Analysis stop at time", clockTime(clock)});
    appendEach(log, {kLogLineBreak, paused});
}

void logAnalysisResumed(LogSink& log, const Clock& clock) {
    const std::string resumed = joined({"Database Analysis Resume at time ", clockTime(clock)});
    appendEach(log, {kLogLineBreak, resumed});
}

void logAnalysisStopped(LogSink& log, const Clock& clock) {
    const std::string aborted = joined({kAnalysisAbortedAtTime, clockTime(clock), kStarredLineEnd});
    appendEach(log, {kLogLineBreak, kAnalysisAborted, kLogLineBreak, aborted});
}

void logAnalysisStopDeclined(LogSink& log, const Clock& clock) {
    const std::string resumed = joined({kAnalysisResumedAtTime, clockTime(clock), kStarredLineEnd});
    appendEach(log, {kLogLineBreak, resumed});
}

void logAnalysisClosed(LogSink& log, const Clock& clock) {
    const std::string aborted = joined({kAnalysisAbortedAtTime, clockTime(clock), kStarredLineEnd});
    appendEach(log, {kLogLineBreak, aborted});
}

void logSavingStarted(LogSink& log) {
    appendEach(log, {kLogLineBreak, kLogLineBreak, "/************** Step:2 Saving process started ***********/",
                     kLogLineBreak, kLogLineBreak});
}

void logSavingStopped(LogSink& log) {
    appendEach(log, {kLogLineBreak, kLogLineBreak,
                     "************************* Step 2 Saving aborted by User "
                     "***********************************"});
}

void logRepairingAborted(LogSink& log) {
    appendEach(log, {kLogLineBreak, kLogLineBreak,
                     "******************* Repairing aborted***********************************"});
}

void logSavingFailed(LogSink& log, const Clock& clock, std::string_view reason) {
    const std::string failed =
        joined({"************************* Step 2 Saving failed at time ", clockTime(clock), kStarredLineEnd});
    appendEach(log, {kLogLineBreak, kLogLineBreak, failed, kLogLineBreak, reason, kLogLineBreak});
}

void logWarning(LogSink& log, std::string_view warning) { appendEach(log, {kLogLineBreak, warning}); }

void logDatafileCutShort(LogSink& log, std::string_view warning) { logWarning(log, warning); }

void logSaveCompleted(LogSink& log, const Clock& clock) {
    const std::string completed = joined({"Process Completed successfully at time ", clockTime(clock)});
    appendEach(log, {kLogLineBreak, kLogLineBreak, completed, kLogLineBreak});
}

void logSaveAborted(LogSink& log, const Clock& clock) {
    const std::string aborted = joined({"Process Aborted by User at time ", clockTime(clock)});
    appendEach(log, {kLogLineBreak, kLogLineBreak, aborted, kLogLineBreak});
}

std::string recoveryTotalsText(const RecoveryTotals& totals) {
    std::string text = std::to_string(totals.tables) + " tables, " + std::to_string(totals.rowsWritten) +
                       " rows written, " + std::to_string(totals.rowsNotRecovered) + " rows not recovered";
    // Values lost inside written rows are named only when there are some.
    if (totals.valuesNotRecovered > 0) text += ", " + std::to_string(totals.valuesNotRecovered) + " values not recovered";
    if (totals.blocksNotRead > 0) text += ", " + std::to_string(totals.blocksNotRead) + " blocks not read";
    if (totals.tablesNotCreated > 0) text += ", " + std::to_string(totals.tablesNotCreated) + " tables not created";
    if (totals.rowsWithExtraValues > 0)
        text += ", " + std::to_string(totals.rowsWithExtraValues) + " rows with values of no column";
    return text;
}

void logRecoveryTotals(LogSink& log, const RecoveryTotals& totals) {
    const std::string line = "Recovered: " + recoveryTotalsText(totals);
    appendEach(log, {kLogLineBreak, line, kLogLineBreak});
}

}  // namespace restorix
