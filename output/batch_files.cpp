#include "output/batch_files.h"

#include <algorithm>
#include <array>

#include "output/sql_names.h"

namespace restorix {
namespace {

// The fixed password every recreated user gets.
constexpr std::string_view kRecoveredUserPassword = "RCVRPWD";

// Import.bat up to the line that calls Commit.bat; an empty entry is an empty line.
constexpr std::array<std::string_view, 59> kImportBatInstructions = {
    "echo OFF",
    "",
    "echo:",
    "",
    "echo *****************************************",
    "",
    "echo       *Steps to import data*             ",
    "",
    "echo *****************************************",
    "",
    "echo:",
    "",
    "echo 1.Oracle User Name. For eg.",
    "",
    "echo   ----------------",
    "",
    "echo \"System\"",
    "",
    "echo:",
    "",
    "echo 2.Oracle Password. For eg.",
    "",
    "echo   ---------------",
    "",
    "echo \"********\"",
    "",
    "",
    "echo:",
    "echo 3.Oracle Server Name. For eg.",
    "",
    "echo   ------------------",
    "",
    "echo \"Start-AllPrograms-Oracle-OracleDatabaseControlServerName\"",
    "",
    "echo:",
    "",
    "echo *****************************************",
    "",
    "echo:",
    "",
    "echo *****************************************",
    "",
    "echo:",
    "",
    "echo Enter Oracle UserName",
    "echo ---------------------",
    "set/p Enter Oracle UserName=",
    "echo:",
    "",
    "echo Enter Oracle Password",
    "echo ---------------------",
    "set/p Enter Oracle Password=",
    "echo:",
    "",
    "echo Enter Oracle ServerName",
    "echo -----------------------",
    "set/p Enter Oracle ServerName=",
    "echo:",
    "",
};

constexpr std::string_view kCommitArguments =
    " %Enter Oracle UserName% %Enter Oracle Password% %Enter Oracle ServerName%";

std::string crLf() { return std::string(kCrLf); }

}  // namespace

std::string withCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string usersScriptBlock(std::string_view schemaName) {
    const std::string user = sqlName(schemaName);
    const std::string createUser = "CREATE USER " + user + " IDENTIFIED BY " +
                                   std::string(kRecoveredUserPassword) +
                                   " DEFAULT TABLESPACE \"SYSTEM\";";
    const std::string grantTablespace = "GRANT UNLIMITED TABLESPACE TO " + user + " WITH ADMIN OPTION;";
    const std::string grantRoles = "GRANT CONNECT,DBA,RESOURCE TO " + user + " WITH ADMIN OPTION;";
    return withCrLf(createUser) + crLf() + withCrLf(grantTablespace) + crLf() + withCrLf(grantRoles) +
           crLf() + crLf() + crLf() + crLf();
}

std::string importBatText(std::string_view binFolder) {
    std::string out;
    for (std::string_view line : kImportBatInstructions) {
        out += line;
        out += kCrLf;
    }
    out += "Commit " + std::string(binFolder) + std::string(kCommitArguments) + crLf();
    out += kCrLf;  // the closing empty line
    return out;
}

std::string replayLine(std::string_view relativePath) {
    return std::string(kSqlplusPrefix) + std::string(relativePath);
}

std::string nlsLangValue(std::string_view characterSet) {
    // A set name is letters, digits and "_"; anything else read from a
    // damaged file is no set sqlplus knows and must not reach a replay file.
    const bool plainName = std::all_of(characterSet.begin(), characterSet.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (characterSet.empty() || !plainName) return {};
    return "." + std::string(characterSet);
}

std::string commitBatHeader(std::string_view characterSet) {
    std::string header = "@echo Restorix for Oracle " + crLf() +
                         "@echo Replays the recovered scripts through sqlplus." + crLf() +
                         "@echo Recovered database processing script.";
    const std::string nlsLang = nlsLangValue(characterSet);
    if (!nlsLang.empty()) header += crLf() + "set NLS_LANG=" + nlsLang;
    return header;
}

ReplayEntries usersReplay() { return {{std::string(kUsersScriptPath), 1, 1}}; }

ReplayEntries tableScriptReplay(std::string_view relativePath) { return {{std::string(relativePath), 1, 0}}; }

ReplayEntries indexReplay() { return {{std::string(kIndexScriptPath), 2, 1}}; }

ReplayEntries constraintsReplay() { return {{std::string(kConstraintsScriptPath), 2, 1}}; }

ReplayEntries codeScriptsReplay() {
    return {{std::string(kTriggersScriptPath), 1, 1},
            {std::string(kViewsScriptPath), 0, 2},
            {std::string(kProceduresScriptPath), 0, 1}};
}

std::string commitBatLines(const ReplayEntries& entries) {
    std::string out;
    for (const ReplayEntry& entry : entries) {
        for (int i = 0; i < entry.lineEndsBefore; ++i) out += kCrLf;
        out += replayLine(entry.relativePath);
        for (int i = 0; i < entry.lineEndsAfter; ++i) out += kCrLf;
    }
    return out;
}

}  // namespace restorix
