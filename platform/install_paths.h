#pragma once
// The installation folder: pictures, the help file, the import guide and the
// copy of the activity log that View Log opens.

#include <filesystem>
#include <string>
#include <string_view>

namespace restorix {

// The setting "FilePath" when it is not empty; else share/restorix beside the
// program's folder (<bin>/../share/restorix) when that exists; else, for a
// program run from the build tree, the source tree's folder of installation files.
std::string installFolder();

// The same choice with its inputs given: the "FilePath" value, the running
// program's own path, and the source tree's folder of installation files.
std::string chooseInstallFolder(std::string_view filePathSetting,
                                const std::filesystem::path& executable,
                                const std::filesystem::path& sourceShareFolder);

// The running program's path (empty when the system does not tell).
std::filesystem::path executablePath();

// A per-user base folder: the environment variable's value when it is an
// absolute path (XDG_CONFIG_HOME, XDG_STATE_HOME), else $HOME followed by the
// given default (".config", ".local/state"); empty when neither is known.
std::filesystem::path userBaseFolder(std::string_view variable, std::string_view homeDefault);

}  // namespace restorix
