// restorix recover DATAFILE: the analysis and the save as the wizard runs
// them, without questions; prints the output folder's path last.

#include <fcntl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "output/oracle_client.h"
#include "output/output_files.h"
#include "output/output_root.h"
#include "output/saving_job.h"
#include "activitylog/log_lines.h"

namespace restorix::cli {
namespace {

namespace fs = std::filesystem;

struct RecoverArguments {
    std::vector<std::string> datafiles;
    std::string schemas = "users";
    std::string outputFolder = ".";
    std::optional<std::string> oracleHome;
    std::optional<std::string> reportFile;
};

// The absolute path without a final separator.
std::string printablePath(const fs::path& path) {
    std::string text = fs::absolute(path).lexically_normal().string();
    while (text.size() > 1 && text.back() == fs::path::preferred_separator) text.pop_back();
    return text;
}

RowCounts sumOf(const std::vector<TableAccount>& accounts) {
    RowCounts all;
    for (const TableAccount& account : accounts) all += account.counts;
    return all;
}

// Blocks no reader could have used: those a read error left unread
// (whatever read them, each once) and those missing from a file cut short.
long blocksLostFromTheFiles(const DatafileSet& files) {
    long lost = 0;
    for (std::size_t i = 0; i < files.size(); ++i)
        lost += static_cast<long>(files.at(i).unreadable.count()) + static_cast<long>(files.at(i).missingBlocks());
    return lost;
}

bool anyFileCutShort(const DatafileSet& files) {
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files.at(i).cutShort) return true;
    return false;
}

// The totals of `tableCount` tables whose counts add up to `all`, with the
// blocks lost from the files themselves.
RecoveryTotals totalsOf(std::size_t tableCount, const RowCounts& all, const Recovery& recovery) {
    RecoveryTotals totals;
    totals.tables = static_cast<long>(tableCount);
    totals.rowsWritten = all.rowsWritten;
    totals.rowsNotRecovered = all.brokenChains;
    totals.valuesNotRecovered = all.undecodableValues + all.valuesTooLong;
    // A table block that cannot be read is also one of the file's unreadable blocks: counted there, once.
    totals.blocksNotRead = all.blocksNotRead + blocksLostFromTheFiles(recovery.datafiles);
    return totals;
}

nlohmann::ordered_json notRecoveredJson(const RowCounts& counts) {
    return {{"undecodableValues", counts.undecodableValues},
            {"brokenChainRows", counts.brokenChains},
            {"valuesTooLongForAScript", counts.valuesTooLong},
            {"unreadableBlocks", counts.blocksNotRead + counts.unreadableBlocks}};
}

// Every block a read error left unread, in the order met, file by file.
nlohmann::ordered_json unreadableBlocksJson(const DatafileSet& files) {
    nlohmann::ordered_json blocks = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Datafile& datafile = files.at(i);
        for (const std::int64_t block : datafile.unreadable.all())
            blocks.push_back({{"file", datafile.path}, {"block", block}, {"offset", block * datafile.blockSize}});
    }
    return blocks;
}

nlohmann::ordered_json cutShortJson(const DatafileSet& files) {
    nlohmann::ordered_json cut = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Datafile& datafile = files.at(i);
        if (!datafile.cutShort) continue;
        cut.push_back({{"file", datafile.path},
                       {"lastBlock", datafile.cutShort->lastBlock},
                       {"headerBlocks", datafile.cutShort->headerBlocks},
                       {"missingBlocks", datafile.missingBlocks()}});
    }
    return cut;
}

// Every table read, with what it wrote and what it lost by reason; totals,
// then what was lost from the files and the dictionary.
std::string reportText(const std::vector<TableAccount>& accounts, const RecoveryTotals& totals, const RowCounts& all,
                       const Recovery& recovery, bool complete) {
    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const TableAccount& account : accounts) {
        tables.push_back({{"schema", account.schema},
                          {"name", account.table},
                          {"rowsWritten", account.counts.rowsWritten},
                          {"notRecovered", notRecoveredJson(account.counts)}});
    }
    nlohmann::ordered_json report = {{"complete", complete},
                                     {"tables", tables},
                                     {"totals",
                                      {{"tables", totals.tables},
                                       {"rowsWritten", totals.rowsWritten},
                                       {"rowsNotRecovered", totals.rowsNotRecovered},
                                       {"valuesNotRecovered", totals.valuesNotRecovered},
                                       {"blocksNotRead", totals.blocksNotRead},
                                       {"notRecovered", notRecoveredJson(all)}}},
                                     {"dictionaryBlocksNotRead", recovery.dictionaryBlocksNotRead},
                                     {"unreadableBlocks", unreadableBlocksJson(recovery.datafiles)},
                                     {"cutShortDatafiles", cutShortJson(recovery.datafiles)}};
    // Names keep their stored bytes: a byte that is no UTF-8 is replaced
    // rather than making the report unwritable.
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void printReportError(const std::string& file, std::string_view reason) {
    printError(file + ": the report cannot be written: " + std::string(reason));
}

// Writes the report; false (with the file and the system's reason printed)
// when it cannot be written.
bool writeReport(const std::string& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out << text;
    if (out) out.close();
    if (!out) {
        printReportError(file, std::strerror(errno));
        return false;
    }
    return true;
}

// Whether the report can go where it was asked for, told before the long
// work starts: not over a datafile, and by opening it for writing (an
// existing file is left as it is, a new one is removed again). False, with
// the file and the reason printed, when not; a report that fails later (a
// full disk) still fails the run at its end.
bool reportPathUsable(const std::string& file, const std::vector<std::string>& datafiles) {
    // Writing the report over a datafile would destroy what is being rescued.
    for (const std::string& datafile : datafiles) {
        std::error_code error;
        if (!fs::equivalent(file, datafile, error)) continue;
        printReportError(file, "it is one of the datafiles");
        return false;
    }
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST) {
        // A pipe or a device (/dev/stdout) is opened only when the report is
        // written: opening one now could wait for a reader.
        std::error_code error;
        const fs::file_status status = fs::status(file, error);
        if (!error && !fs::is_regular_file(status) && !fs::is_directory(status)) return true;
        fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
    }
    if (fd < 0) {
        printReportError(file, std::strerror(errno));
        return false;
    }
    ::close(fd);
    if (created) ::unlink(file.c_str());
    return true;
}

// The totals on stderr and in the log, and the report when asked for. A
// datafile cut short leaves the recovery incomplete however the save ended.
bool accountForRows(CommandSession& session, const Recovery& recovery, const SavingState& state,
                    const RecoverArguments& args, bool saveCompleted) {
    const RowCounts all = sumOf(state.tableAccounts);
    const RecoveryTotals totals = totalsOf(state.tableAccounts.size(), all, recovery);
    logRecoveryTotals(session.log, totals);
    std::fprintf(stderr, "%s\n", recoveryTotalsText(totals).c_str());
    if (!args.reportFile) return true;
    const bool complete = saveCompleted && !anyFileCutShort(recovery.datafiles);
    return writeReport(*args.reportFile, reportText(state.tableAccounts, totals, all, recovery, complete));
}

// The save as the File Saving dialog runs it; Ctrl-C takes its Stop path.
int save(CommandSession& session, Recovery& recovery, const SavingSetup& setup, const RecoverArguments& args) {
    SavingState state;
    state.progress = &session.progress;
    SavingJob saving(recovery, state, session.messages, session.log, session.clock, setup);
    SavingResult result;
    {
        // In place once the job has cleared its stop flag, so an early Ctrl-C holds.
        saving.start();
        const InterruptGuard::Scope scope = session.interrupt.onInterrupt([&] { saving.confirmStop(); });
        result = saving.wait();
    }
    session.progress.finish();
    const bool reported = accountForRows(session, recovery, state, args, result == SavingResult::saveCompleted);
    if (session.interrupt.interrupted()) return kInterrupted;
    switch (result) {
        case SavingResult::saveStopped: return kInterrupted;
        case SavingResult::cannotOpenTargetFile: return kCannotOpenTargetFile;
        case SavingResult::saveCompleted: break;
    }
    // main checks that it reached stdout.
    std::printf("%s\n", printablePath(setup.outputRoot).c_str());
    // The scripts are complete; the missing report still fails the run.
    return reported ? kSuccess : kCannotOpenTargetFile;
}

int runRecover(const RecoverArguments& args) {
    const fs::path outputFolder(args.outputFolder);
    if (!savingPathExists(outputFolder)) {
        printError(kSavingPathMissing);
        return kOutputFolderMissing;
    }
    if (args.reportFile && !reportPathUsable(*args.reportFile, args.datafiles)) return kCannotOpenTargetFile;
    CommandSession session;
    Recovery recovery;
    const int analysed = analyzeDatafiles(session, recovery, args.datafiles, parseSchemasOption(args.schemas));
    if (analysed != kSuccess) return analysed;

    SavingSetup setup;
    setup.oracleBinFolder = oracleBinFolder(findOracleHome(args.oracleHome, std::getenv("ORACLE_HOME")));
    // A Ctrl-C between the two jobs: nothing is created.
    if (session.interrupt.interrupted()) return kInterrupted;
    const std::optional<fs::path> root = createOutputRoot(outputFolder, recovery.sourceTitle, session.clock);
    if (!root) {
        printError(kCannotOpenTargetFileMessage);
        printError(outputFolder.string() + ": no fresh output folder name within a few seconds");
        return kCannotOpenTargetFile;
    }
    setup.outputRoot = *root;
    logSavingStarted(session.log);
    return save(session, recovery, setup, args);
}

}  // namespace

void addRecoverCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<RecoverArguments>();
    CLI::App* command =
        app.add_subcommand("recover", "Analyse the datafile and write the recovered database as SQL scripts");
    command->add_option("DATAFILE", args->datafiles, "The SYSTEM datafile (.dbf) and any other datafiles of the database")->required();
    command->add_option("--schemas", args->schemas, "Which schemas: sys, users (all but SYS) or all")
        ->check(CLI::IsMember({"sys", "users", "all"}));
    command->add_option("--output", args->outputFolder, "Folder to create the output folder in (default: here)");
    command->add_option("--oracle-home", args->oracleHome, "The Oracle client's home, as Import.bat should use it");
    command->add_option("--report", args->reportFile,
                        "Write a JSON report of the rows written and not recovered, per table, to this file");
    command->callback([args, &exitCode] { exitCode = runRecover(*args); });
}

}  // namespace restorix::cli
