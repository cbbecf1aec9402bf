#pragma once
// Where the Oracle client's bin folder is, as Import.bat hands it to
// Commit.bat (which starts sqlplus.exe from it). This system has no registry
// to ask, so the home is taken from the command line, the environment or
// /etc/oratab.

#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace restorix {

inline constexpr std::string_view kOracleBinSuffix = "\\bin";
inline constexpr const char* kOratabPath = "/etc/oratab";

// The home of the first entry of an oratab file: lines SID:HOME:FLAG, with
// comments (#) and blank lines ignored; an entry without a home is passed over.
std::optional<std::string> firstOratabHome(std::istream& oratab);

// The Oracle home: the given one, else $ORACLE_HOME (environmentHome, when
// set and not empty), else the first home of the oratab file; nullopt when
// none of them names one.
std::optional<std::string> findOracleHome(const std::optional<std::string>& givenHome,
                                          const char* environmentHome,
                                          const std::filesystem::path& oratabPath = kOratabPath);

// The home taken verbatim, followed by "\bin"; just "\bin" without a home.
std::string oracleBinFolder(const std::optional<std::string>& oracleHome);

}  // namespace restorix
