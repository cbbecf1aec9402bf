#pragma once
// The two shell scripts that replay the output folder from Linux or Unix:
// import.sh asks for the Oracle login and runs commit.sh, which feeds each
// script to sqlplus in Commit.bat's order. POSIX sh with LF line ends; the
// login reaches sqlplus on its standard input, never on a command line.
// Script paths are written as the files are named on disk, without the code
// page conversion the batch files get.

#include <string>
#include <string_view>

#include "output/batch_files.h"

namespace restorix {

inline constexpr std::string_view kImportShName = "import.sh";
inline constexpr std::string_view kCommitShName = "commit.sh";

// The whole of import.sh.
std::string importShText();

// commit.sh up to its first replay line; with an NLS_LANG value as Commit.bat sets it.
std::string commitShHeader(std::string_view characterSet = {});

// What commit.sh gains for the entries: one replay line per script.
std::string commitShLines(const ReplayEntries& entries);

// The text in single quotes, each single quote written as '\''.
std::string shellQuoted(std::string_view text);

}  // namespace restorix
