#pragma once
// The two installation settings, read from a small text file in place of the
// installer's registry key. The program only reads them, never writes them.
//
// The file holds lines "FilePath=..." and "LogPath=..."; blank lines and lines
// starting with '#' or ';' are ignored. It is the file named by the environment
// variable RESTORIX_SETTINGS, else $XDG_CONFIG_HOME/restorix/settings.ini
// (~/.config/restorix/settings.ini when XDG_CONFIG_HOME is unset).

#include <filesystem>
#include <string>
#include <string_view>

namespace restorix {

inline constexpr std::string_view kFilePathSetting = "FilePath";  // installation folder
inline constexpr std::string_view kLogPathSetting = "LogPath";    // activity log's folder

// The installer's store held a value in 260 characters with its terminator:
// a longer value never fit and reads as empty.
inline constexpr std::size_t kMaxSettingLength = 259;

// Where the settings are read from; empty when no home folder is known.
std::filesystem::path settingsFilePath();

// The named value from the settings file, or "" when the file or the value is
// missing, unreadable or longer than kMaxSettingLength characters.
std::string readSetting(std::string_view name);
std::string readSettingFrom(const std::filesystem::path& file, std::string_view name);

// The same rules over a file's text.
std::string findSetting(std::string_view content, std::string_view name);

}  // namespace restorix
