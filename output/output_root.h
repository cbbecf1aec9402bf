#pragma once
// The output root: the folder "XTRecovered_" + datafile title + time + date
// that a save creates inside the folder the user chose.

#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace restorix {

inline constexpr std::string_view kOutputRootPrefix = "XTRecovered_";
inline constexpr std::string_view kSavingPathMissing =
    "Saving path doesn't exist, select another path for saving ";

// XTRecovered_TITLE_HH.MM.SS_MM-DD-YY: the title made safe for a file name,
// the time's ":" and the date's "/" replaced by "." and "-".
std::string outputRootName(std::string_view sourceTitle, const std::tm& moment);

// Whether the chosen folder can hold the output root: a path that names an
// existing folder.
bool savingPathExists(const std::filesystem::path& chosenFolder);

// Waits a little before the name is built again; tests replace it.
using RetryWait = std::function<void()>;
void waitBriefly();

// Creates the output root inside chosenFolder (which must exist) and returns
// its path. When a folder of that name already exists (two saves within one
// second) it waits for the clock's next second and takes that name. nullopt
// when no fresh name turned up within a few seconds. A folder that cannot be
// created is not reported here: the save reports it with the system's reason.
std::optional<std::filesystem::path> createOutputRoot(const std::filesystem::path& chosenFolder,
                                                      std::string_view sourceTitle, const Clock& clock,
                                                      const RetryWait& wait = waitBriefly);

}  // namespace restorix
