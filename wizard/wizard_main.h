#pragma once
// The wizard's entry: `restorix` with no subcommand and `restorix wizard`.

#include <QString>
#include <memory>

class QLockFile;

namespace restorix::wizard {

// Exit code of a start without a display.
inline constexpr int kNoDisplayExitCode = 64;
inline constexpr const char* kNoDisplayMessage =
    "restorix: the wizard needs a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM); "
    "`restorix recover` does the same job on the command line";

// Whether Qt can open a window: a display or an explicit platform plugin.
bool displayAvailable();

// The one-instance lock, named after the product, in `folder` (the runtime
// folder in the program); null when another process holds it.
std::unique_ptr<QLockFile> takeInstanceLock(const QString& folder);
inline constexpr const char* kAlreadyRunning = "Restorix for Oracle Database is already running";

// Checks for a display, takes the single-instance lock, shows the splash and
// runs the wizard; returns the process's exit code.
int runWizard(int argc, char** argv);

}  // namespace restorix::wizard
