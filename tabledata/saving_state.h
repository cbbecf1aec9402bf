#pragma once
// What the saving job shares with the row reader and the data script writer
// while it writes one table's rows, and the progress units it counts.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/job_control.h"
#include "tabledata/row_value.h"

namespace restorix {

struct SavingState {
    // The schema and table being written, and the table's data script.
    std::string currentSchema;     // as stored
    std::string currentTable;      // the table's Create Table form ("/" -> "_")
    std::string qualifiedTable;    // how the insert statements name it
    std::filesystem::path currentDataFile;
    // Closes a data script's descriptor as close(2) does (0, or -1 with
    // errno); unset, the system's close. The tests put in one that fails, as
    // a disk that reports a lost write only at the close does.
    std::function<int(int)> closeDataScript;

    std::atomic<bool> tableInProgress{false};
    std::atomic<bool> skipRequested{false};
    bool savingMode = false;
    // How long the reader lingers on a skipped table with its bar at 100, so
    // that the window shows it; the command line and the tests set 0.
    std::chrono::milliseconds skipPause{2000};

    int overallDone = 0;   // never reset
    int overallTotal = 0;

    // The saving job's phases, read by its controller (Pause, Skip Table).
    std::atomic<bool> ddlPhase{false};     // a schema's Create Table step runs
    std::atomic<bool> dataPhase{false};    // a schema's data step runs
    bool noTablesInSchema = false;         // the Create Table step found no table
    std::atomic<bool> saveFinished{false};
    std::atomic<bool> savingAborted{false};  // Stop was confirmed
    int viewsWritten = 0;     // never reset
    int triggersWritten = 0;  // never reset
    std::vector<TableAccount> tableAccounts;  // every table whose rows were read, in order
    // Names the scripts write changed that no table's account holds: schemas,
    // views, triggers, procedures, constraints, and tables whose rows were not read.
    long namesChangedOutsideTables = 0;

    ProgressSink* progress = nullptr;
    // Stop (stopRequested) and Pause of the File Saving dialog.
    JobControl control;

    ProgressSink& sink() {
        static ProgressSink silent;
        return progress ? *progress : silent;
    }
    // overallDone += 1 and the Overall Progress bar moved.
    void countOverallUnit() {
        ++overallDone;
        showOverallProgress();
    }
    // done x 100 / total for a bar; an empty bar when there is nothing to count.
    static int percent(int done, int total) { return total > 0 ? done * 100 / total : 0; }
    void showOverallProgress() {
        // With nothing to count the bar stays empty rather than divide by zero.
        sink().setOverallProgress(overallTotal > 0 ? overallDone * 100 / overallTotal : 0);
    }
};

}  // namespace restorix
