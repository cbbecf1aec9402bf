#pragma once
// Each command registers itself on the application and runs when chosen.
// The command's exit code is written to `exitCode`.

namespace CLI {
class App;
}

namespace restorix::cli {

void addScanCommand(CLI::App& app, int& exitCode);
void addRecoverCommand(CLI::App& app, int& exitCode);
void addInspectCommand(CLI::App& app, int& exitCode);
void addPreviewCommand(CLI::App& app, int& exitCode);
void addDumpCommand(CLI::App& app, int& exitCode);

}  // namespace restorix::cli
