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
#include "output/oracle_client.h"
#include "output/output_files.h"
#include "output/output_root.h"
#include "output/saving_job.h"
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

// The absolute path without a final separator.
std::string printablePath(const fs::path& path) {
    std::string text = fs::absolute(path).lexically_normal().string();
    while (text.size() > 1 && text.back() == fs::path::preferred_separator) text.pop_back();
    return text;
}

// The save as the File Saving dialog runs it; Ctrl-C takes its Stop path.
int save(CommandSession& session, Recovery& recovery, const SavingSetup& setup) {
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
    if (session.interrupt.interrupted()) return kInterrupted;
    switch (result) {
        case SavingResult::saveStopped: return kInterrupted;
        case SavingResult::cannotOpenTargetFile: return kCannotOpenTargetFile;
        case SavingResult::saveCompleted: break;
    }
    // main checks that it reached stdout.
    std::printf("%s\n", printablePath(setup.outputRoot).c_str());
    return kSuccess;
}

int runRecover(const RecoverArguments& args) {
    const fs::path outputFolder(args.outputFolder);
    if (!savingPathExists(outputFolder)) {
        printError(kSavingPathMissing);
        return kOutputFolderMissing;
    }
    CommandSession session;
    Recovery recovery;
    const int analysed = analyzeDatafile(session, recovery, args.datafile, parseSchemasOption(args.schemas));
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
    return save(session, recovery, setup);
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
