// restorix: the command-line front end.

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <string_view>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "datafile/cfile64.h"

namespace {

// The windows are restorix-wizard beside this program: loading the Qt
// libraries took a command longer than reading a small datafile. Returns
// only when the program cannot be run.
int runWizardBeside(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string wizard = (self.parent_path() / "restorix-wizard").string();
    argv[0] = const_cast<char*>(wizard.c_str());
    execv(wizard.c_str(), argv);
    restorix::cli::printError(wizard + ": " + std::strerror(errno));
    return restorix::cli::kInternalError;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace restorix::cli;
    // No subcommand, or "wizard": the windows.
    if (argc == 1 || (argc == 2 && std::string_view(argv[1]) == "wizard")) return runWizardBeside(argv);
    CLI::App app{"Restorix for Oracle Database: rebuilds a database from its SYSTEM datafile"};
    app.require_subcommand(1);
    int exitCode = kSuccess;
    addScanCommand(app, exitCode);
    addRecoverCommand(app, exitCode);
    addInspectCommand(app, exitCode);
    addPreviewCommand(app, exitCode);
    addDumpCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kUsageError;
    } catch (const restorix::FileError& e) {
        printError(std::string("Cannot read the datafile: ") + e.what());
        return kDatafileNotOpened;
    } catch (const std::bad_alloc&) {
        printError("Out Of Memory");
        return kInternalError;
    } catch (const std::exception& e) {
        printError(e.what());
        return kInternalError;
    }
    // What was printed must have reached stdout: a full disk there is a failure too.
    std::cout.flush();
    if (!std::cout || std::fflush(stdout) != 0) {
        printError(std::string("stdout: ") + std::strerror(errno));
        if (exitCode == kSuccess) return kCannotOpenTargetFile;
    }
    return exitCode;
}
