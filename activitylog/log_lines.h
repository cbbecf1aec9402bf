#pragma once
// The blocks of activity-log lines that the wizard writes, one function per
// block. Each quoted text is one append, in the order the log expects; line
// breaks are texts of their own. Times are read once per block from the clock.

#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "activitylog/activity_log.h"

namespace restorix {

inline constexpr std::string_view kLogLineBreak = "\r\n";

// Main window opens: the header with product line, version, date and time.
void logStartupHeader(LogSink& log, const Clock& clock, std::string_view versionText);
// Repair finds that the chosen datafile no longer exists.
void logSelectedFileMissing(LogSink& log);
// Repair starts the analysis of the datafile at sourcePath.
void logAnalysisStart(LogSink& log, const Clock& clock, std::string_view sourcePath);
// Every datafile given, in order, when there are several.
void logDatafiles(LogSink& log, const std::vector<std::string>& paths);
// The Preview returned to the main window.
void logAnalysisCompleted(LogSink& log, const Clock& clock);

// Analysis dialog: Pause pressed while running, and again while paused.
void logAnalysisPaused(LogSink& log, const Clock& clock);
void logAnalysisResumed(LogSink& log, const Clock& clock);
// Stop answered Yes.
void logAnalysisStopped(LogSink& log, const Clock& clock);
// Stop or window close answered No: the analysis goes on.
void logAnalysisStopDeclined(LogSink& log, const Clock& clock);
// Window closed and answered Yes: the analysis ends with what it found so far.
void logAnalysisClosed(LogSink& log, const Clock& clock);

// The Preview starts saving.
void logSavingStarted(LogSink& log);
// File Saving dialog: Stop confirmed.
void logSavingStopped(LogSink& log);
// File Saving dialog: Escape (or a close from elsewhere) confirmed; the process ends.
void logRepairingAborted(LogSink& log);

// The save ended at an output file that could not be created or written;
// `reason` names the file and the system's reason.
void logSavingFailed(LogSink& log, const Clock& clock, std::string_view reason);
// The datafile is shorter than its header says; the analysis goes on.
void logDatafileCutShort(LogSink& log, std::string_view warning);
// A warning on a line of its own.
void logWarning(LogSink& log, std::string_view warning);

// View Log box opens after the save completed or was stopped.
void logSaveCompleted(LogSink& log, const Clock& clock);
void logSaveAborted(LogSink& log, const Clock& clock);

// The recovery's totals, as the command line prints them on stderr and the
// log keeps them: "3 tables, 120 rows written, 2 rows not recovered".
struct RecoveryTotals {
    long tables = 0;
    long rowsWritten = 0;
    long rowsNotRecovered = 0;
    long valuesNotRecovered = 0;
    // Table blocks whose rows could not be found, blocks a read error left
    // unread and blocks missing from a datafile cut short.
    long blocksNotRead = 0;
    long tablesNotCreated = 0;     // a COL$ row could not be read: neither the table nor its rows written
    long rowsWithExtraValues = 0;  // written, but storing values of no column
};
std::string recoveryTotalsText(const RecoveryTotals& totals);
// The totals line, after the save's other lines.
void logRecoveryTotals(LogSink& log, const RecoveryTotals& totals);

}  // namespace restorix
