// restorix recover DATAFILE: the analysis and the save as the wizard runs
// them, without questions; prints the output folder's path last.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
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

// The totals of the tables read, whose counts add up to `all`, with the
// blocks lost from the files themselves.
RecoveryTotals totalsOf(const std::vector<TableAccount>& accounts, const RowCounts& all, const DatafileSet& datafiles) {
    RecoveryTotals totals;
    totals.tables = static_cast<long>(accounts.size());
    totals.rowsWritten = all.rowsWritten;
    totals.rowsNotRecovered = all.brokenChains + all.rowsInTableNotCreated;
    totals.valuesNotRecovered = all.undecodableValues + all.valuesTooLong;
    // A table block that cannot be read is also one of the file's unreadable blocks: counted there, once.
    totals.blocksNotRead = all.blocksNotRead + blocksLostFromTheFiles(datafiles);
    totals.tablesNotCreated = std::count_if(accounts.begin(), accounts.end(),
                                            [](const TableAccount& account) { return account.counts.columnsUnreadable > 0; });
    totals.rowsWithExtraValues = all.rowsWithExtraValues;
    return totals;
}

nlohmann::ordered_json notRecoveredJson(const RowCounts& counts) {
    return {{"undecodableValues", counts.undecodableValues},
            {"brokenChainRows", counts.brokenChains},
            {"valuesTooLongForAScript", counts.valuesTooLong},
            {"unreadableBlocks", counts.blocksNotRead + counts.unreadableBlocks},
            {"rowsWithExtraValues", counts.rowsWithExtraValues},
            {"columnsUnreadable", counts.columnsUnreadable},
            {"rowsOfTableNotCreated", counts.rowsInTableNotCreated}};
}

// Every block a read error left unread, in the order met, file by file.
nlohmann::ordered_json unreadableBlocksJson(const DatafileSet& files) {
    nlohmann::ordered_json blocks = nlohmann::ordered_json::array();
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Datafile& datafile = files.at(i);
        for (const std::int64_t block : datafile.unreadable.all())
            blocks.push_back({{"file", datafile.path}, {"block", block}, {"offset", datafile.leaderBytes + block * datafile.blockSize}});
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

// Every table read, with what it wrote, what it lost by reason and how many
// of its names the scripts write changed; totals, where the changed names of
// schemas, views and other objects of no table's account count too; then
// what was lost from the files and the dictionary.
std::string reportText(const std::vector<TableAccount>& accounts, const RecoveryTotals& totals, const RowCounts& all,
                       long namesChangedOutsideTables, const Database& database, const Catalog& catalog,
                       bool complete) {
    nlohmann::ordered_json tables = nlohmann::ordered_json::array();
    for (const TableAccount& account : accounts) {
        tables.push_back({{"schema", account.schema},
                          {"name", account.table},
                          {"rowsWritten", account.counts.rowsWritten},
                          {"migratedChainedRows", account.counts.migratedChainedRows},
                          {"created", account.counts.columnsUnreadable == 0},
                          {"notRecovered", notRecoveredJson(account.counts)},
                          {"namesChanged", account.counts.namesChanged},
                          {"scriptNamesChanged", account.counts.scriptNamesChanged}});
    }
    nlohmann::ordered_json report = {{"complete", complete},
                                     {"tables", tables},
                                     {"totals",
                                      {{"tables", totals.tables},
                                       {"rowsWritten", totals.rowsWritten},
                                       {"migratedChainedRows", all.migratedChainedRows},
                                       {"rowsNotRecovered", totals.rowsNotRecovered},
                                       {"valuesNotRecovered", totals.valuesNotRecovered},
                                       {"tablesNotCreated", totals.tablesNotCreated},
                                       {"blocksNotRead", totals.blocksNotRead},
                                       {"notRecovered", notRecoveredJson(all)},
                                       {"namesChanged", all.namesChanged + namesChangedOutsideTables},
                                       {"scriptNamesChanged", all.scriptNamesChanged}}},
                                     {"dictionaryBlocksNotRead", catalog.dictionaryBlocksNotRead},
                                     {"unreadableBlocks", unreadableBlocksJson(database.datafiles)},
                                     {"cutShortDatafiles", cutShortJson(database.datafiles)}};
    // Names keep their stored bytes: a byte that is no UTF-8 is replaced
    // rather than making the report unwritable.
    return report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void printReportError(const std::string& file, std::string_view reason) {
    printError(file + ": the report cannot be written: " + std::string(reason));
}

// Where the report goes. A file is written (created or replaced) at the end.
// A pipe or a device is opened before the long work, without waiting for a
// reader, and kept open to the end: opening a FIFO that no program reads
// would otherwise wait for ever.
class ReportTarget {
public:
    explicit ReportTarget(std::string file) : file_(std::move(file)) {}
    ~ReportTarget() {
        if (stream_ >= 0) ::close(stream_);
    }
    ReportTarget(const ReportTarget&) = delete;
    ReportTarget& operator=(const ReportTarget&) = delete;

    // Whether the report can go there, told before the long work starts: not
    // over a datafile, and by opening it for writing (an existing file is
    // left as it is, a new one is removed again). False, with the file and the
    // reason printed, when not; a report that fails later (a full disk) still
    // fails the run at its end.
    bool prepare(const std::vector<std::string>& datafiles) {
        // Writing the report over a datafile would destroy what is being rescued.
        for (const std::string& datafile : datafiles) {
            std::error_code error;
            if (!fs::equivalent(file_, datafile, error)) continue;
            printReportError(file_, "it is one of the datafiles");
            return false;
        }
        int fd = ::open(file_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const bool created = fd >= 0;
        if (!created && errno == EEXIST) {
            struct stat status {};
            if (::stat(file_.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
                return openStream(S_ISFIFO(status.st_mode));
            fd = ::open(file_.c_str(), O_WRONLY | O_CLOEXEC);
        }
        if (fd < 0) {
            printReportError(file_, std::strerror(errno));
            return false;
        }
        ::close(fd);
        if (created) ::unlink(file_.c_str());
        return true;
    }

    // Writes the report; false (with the file and the system's reason
    // printed) when it cannot be written.
    bool write(const std::string& text) {
        if (stream_ < 0) return writeFile(text);
        const bool written = writeAll(text);
        const int writeError = errno;
        const int closed = ::close(std::exchange(stream_, -1));
        if (!written || closed != 0) {
            printReportError(file_, std::strerror(written ? errno : writeError));
            return false;
        }
        return true;
    }

private:
    bool openStream(bool fifo) {
        // Without a reader a FIFO refuses a non-blocking open (ENXIO) at once.
        stream_ = ::open(file_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (stream_ < 0) {
            printReportError(file_, fifo && errno == ENXIO ? "it is a FIFO that no program reads from"
                                                           : std::strerror(errno));
            return false;
        }
        // The writes themselves wait for the reader, as into any pipe.
        const int flags = ::fcntl(stream_, F_GETFL);
        if (flags < 0 || ::fcntl(stream_, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            printReportError(file_, std::strerror(errno));
            return false;
        }
        return true;
    }

    bool writeAll(std::string_view text) {
        while (!text.empty()) {
            const ssize_t wrote = ::write(stream_, text.data(), text.size());
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) return false;
            text.remove_prefix(static_cast<std::size_t>(wrote));
        }
        return true;
    }

    bool writeFile(const std::string& text) {
        std::ofstream out(file_, std::ios::binary | std::ios::trunc);
        if (out) out << text;
        if (out) out.close();
        if (!out) {
            printReportError(file_, std::strerror(errno));
            return false;
        }
        return true;
    }

    std::string file_;
    int stream_ = -1;  // a pipe's or a device's, open from prepare() on
};

// The totals on stderr and in the log, and the report when asked for. A
// datafile cut short leaves the recovery incomplete however the save ended.
// A report that waits for its reader ends at once with Ctrl-C: it cannot be
// stopped half-way.
bool accountForRows(CommandSession& session, const Database& database, const Catalog& catalog, const SavingState& state,
                    ReportTarget* report, bool saveCompleted) {
    const RowCounts all = sumOf(state.tableAccounts);
    const RecoveryTotals totals = totalsOf(state.tableAccounts, all, database.datafiles);
    logRecoveryTotals(session.log, totals);
    std::fprintf(stderr, "%s\n", recoveryTotalsText(totals).c_str());
    if (report == nullptr) return true;
    const bool complete = saveCompleted && !anyFileCutShort(database.datafiles);
    const InterruptGuard::Scope scope = session.interrupt.endRunOnInterrupt();
    return report->write(
        reportText(state.tableAccounts, totals, all, state.namesChangedOutsideTables, database, catalog, complete));
}

// The save as the File Saving dialog runs it; Ctrl-C takes its Stop path.
int save(CommandSession& session, Recovery& recovery, const SavingSetup& setup, ReportTarget* report) {
    SavingState state;
    state.progress = &session.progress;
    SavingJob saving(recovery.analysed(), state, session.messages, session.log, session.clock, setup);
    SavingResult result;
    {
        // In place once the job has cleared its stop flag, so an early Ctrl-C holds.
        saving.start();
        const InterruptGuard::Scope scope = session.interrupt.onInterrupt([&] { saving.confirmStop(); });
        result = saving.wait();
    }
    if (result == SavingResult::saveCompleted) recovery.releaseAfterSaving();
    session.progress.finish();
    const bool reported = accountForRows(session, recovery.database, recovery.catalog, state, report,
                                         result == SavingResult::saveCompleted);
    if (session.interrupt.interrupted()) return session.interrupt.exitCode();
    switch (result) {
        case SavingResult::saveStopped: return session.interrupt.exitCode();
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
    std::optional<ReportTarget> report;
    if (args.reportFile && !report.emplace(*args.reportFile).prepare(args.datafiles)) return kCannotOpenTargetFile;
    CommandSession session;
    Recovery recovery;
    const int analysed = analyzeDatafiles(session, recovery, args.datafiles, parseSchemasOption(args.schemas));
    if (analysed != kSuccess) return analysed;

    SavingSetup setup;
    setup.oracleBinFolder = oracleBinFolder(findOracleHome(args.oracleHome, std::getenv("ORACLE_HOME")));
    setup.messageCaption = kMessageCaption;
    // A Ctrl-C between the two jobs: nothing is created.
    if (session.interrupt.interrupted()) return session.interrupt.exitCode();
    const std::optional<fs::path> root = createOutputRoot(outputFolder, recovery.database.sourceTitle, session.clock);
    if (!root) {
        printError(kCannotOpenTargetFileMessage);
        printError(outputFolder.string() + ": no fresh output folder name within a few seconds");
        return kCannotOpenTargetFile;
    }
    setup.outputRoot = *root;
    logSavingStarted(session.log);
    return save(session, recovery, setup, report ? &*report : nullptr);
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
