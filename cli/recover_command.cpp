// restorix recover DATAFILE: the analysis and the save as the wizard runs
// them, without questions; prints the output folder's path last.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "dictionary/analysis_job.h"
#include "platform/clock.h"
#include "output/oracle_client.h"
#include "output/output_files.h"
#include "output/output_root.h"
#include "output/saving_job.h"
#include "activitylog/activity_log.h"
#include "activitylog/log_lines.h"

namespace restorix::cli {
namespace {

namespace fs = std::filesystem;

struct RecoverArguments {
    std::string datafile;
    std::string schemas = "users";
    std::string outputFolder = ".";
    std::optional<std::string> oracleHome;
};

// The analysis as the Analysis dialog runs it; Ctrl-C takes its Stop path.
// Returns kSuccess to go on with the save, or the exit code.
int analyse(Recovery& recovery, TerminalProgress& progress, LogSink& log, const Clock& clock) {
    StderrMessages messages;
    AnalysisJob analysis(recovery, progress, messages, log, clock);
    AnalysisResult result;
    {
        InterruptGuard interrupt([&] { analysis.confirmStop(); });
        result = analysis.run();
    }
    progress.finish();
    switch (result) {
        case AnalysisResult::unsupportedVersion: return kUnsupportedVersion;
        case AnalysisResult::analysisStopped: return kInterrupted;
        case AnalysisResult::analysisCompleted: break;
    }
    return kSuccess;
}

// The absolute path without a final separator.
std::string printablePath(const fs::path& path) {
    std::string text = fs::absolute(path).lexically_normal().string();
    while (text.size() > 1 && text.back() == fs::path::preferred_separator) text.pop_back();
    return text;
}

// The save as the File Saving dialog runs it; Ctrl-C takes its Stop path.
int save(Recovery& recovery, TerminalProgress& progress, LogSink& log, const Clock& clock,
         const SavingSetup& setup) {
    StderrMessages messages;
    SavingState state;
    state.progress = &progress;
    SavingJob saving(recovery, state, messages, log, clock, setup);
    SavingResult result;
    {
        InterruptGuard interrupt([&] { saving.confirmStop(); });
        result = saving.run();
    }
    progress.finish();
    switch (result) {
        case SavingResult::saveStopped: return kInterrupted;
        case SavingResult::cannotOpenTargetFile: return kCannotOpenTargetFile;
        case SavingResult::saveCompleted: break;
    }
    std::printf("%s\n", printablePath(setup.outputRoot).c_str());
    std::fflush(stdout);
    return kSuccess;
}

int runRecover(const RecoverArguments& args) {
    const fs::path outputFolder(args.outputFolder);
    if (!savingPathExists(outputFolder)) {
        printError(kSavingPathMissing);
        return kOutputFolderMissing;
    }
    ActivityLog log;
    SystemClock clock;
    Recovery recovery;
    logStartupHeader(log, clock, recovery.versionText);
    if (int code = openDatafile(recovery, args.datafile); code != kSuccess) return code;
    recovery.setOption(parseSchemasOption(args.schemas));
    logAnalysisStart(log, clock, recovery.sourcePath);

    TerminalProgress progress;
    if (int code = analyse(recovery, progress, log, clock); code != kSuccess) return code;

    SavingSetup setup;
    setup.oracleBinFolder = oracleBinFolder(findOracleHome(args.oracleHome, std::getenv("ORACLE_HOME")));
    const std::optional<fs::path> root = createOutputRoot(outputFolder, recovery.sourceTitle, clock);
    if (!root) {
        printError(kCannotOpenTargetFileMessage);
        return kCannotOpenTargetFile;
    }
    setup.outputRoot = *root;
    logSavingStarted(log);
    return save(recovery, progress, log, clock, setup);
}

}  // namespace

void addRecoverCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<RecoverArguments>();
    CLI::App* command =
        app.add_subcommand("recover", "Analyse the datafile and write the recovered database as SQL scripts");
    command->add_option("DATAFILE", args->datafile, "The SYSTEM datafile (.dbf)")->required();
    command->add_option("--schemas", args->schemas, "Which schemas: sys, users (all but SYS) or all")
        ->check(CLI::IsMember({"sys", "users", "all"}));
    command->add_option("--output", args->outputFolder, "Folder to create the output folder in (default: here)");
    command->add_option("--oracle-home", args->oracleHome, "The Oracle client's home, as Import.bat should use it");
    command->callback([args, &exitCode] { exitCode = runRecover(*args); });
}

}  // namespace restorix::cli
