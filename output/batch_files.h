#pragma once
// Texts of the users script and of the two batch files that replay the output
// folder through sqlplus: Import.bat asks for the Oracle login and calls
// Commit.bat, which runs sqlplus once per script. All texts are UTF-8 with
// CR LF line ends; the writer converts them to the code page unchanged.

#include <string>
#include <string_view>
#include <vector>

namespace restorix {

inline constexpr std::string_view kCrLf = "\r\n";
// Every script ends with this; sqlplus stops at the "Exit;" line.
inline constexpr std::string_view kScriptTrailer = "\r\nExit;";

// Each LF becomes CR LF (scripts and batch files use Windows line ends).
std::string withCrLf(std::string_view text);

// Script paths relative to the output root, with Windows backslashes.
inline constexpr std::string_view kUsersScriptPath = "Users\\Users.sql";
inline constexpr std::string_view kIndexScriptPath = "Index\\Index.sql";
inline constexpr std::string_view kConstraintsScriptPath = "Constraints\\Constraints.sql";
inline constexpr std::string_view kTriggersScriptPath = "Triggers\\Triggers.sql";
inline constexpr std::string_view kViewsScriptPath = "Views\\Views.sql";
inline constexpr std::string_view kProceduresScriptPath = "Procedures\\Procedures.sql";

// A schema's folders and a table's scripts are named by ScriptNames (script_names.h).

// --- Users\Users.sql ---------------------------------------------------------

// One schema's block: CREATE USER and the two GRANT statements with their
// line ends (three empty lines follow the block). Append kScriptTrailer
// after the last schema.
std::string usersScriptBlock(std::string_view schemaName);

// --- Import.bat ----------------------------------------------------------------

// The whole file: 61 lines, each ended by CR LF. binFolder is the Oracle
// client's bin folder, passed to Commit.bat as its first argument.
std::string importBatText(std::string_view binFolder);

// --- Commit.bat ------------------------------------------------------------------
// Commit.bat (and commit.sh beside it) is appended piece by piece as the
// scripts are made; each step that completes scripts hands their entries to
// both files at once, so the two always replay the same scripts in one order.

// " %1\sqlplus.exe %2/%3@%4 @ ": bin folder, user, password, server.
inline constexpr std::string_view kSqlplusPrefix = " %1\\sqlplus.exe %2/%3@%4 @ ";

// kSqlplusPrefix followed by the script's relative path.
std::string replayLine(std::string_view relativePath);

// The value both replay files give NLS_LANG so that sqlplus reads the scripts
// in the character set they are written in: ".<set>", or empty (NLS_LANG left
// alone) without a set or with a name no set has.
std::string nlsLangValue(std::string_view characterSet);

// The three header lines, without a final line end; with an NLS_LANG value,
// a fourth line "set NLS_LANG=.<set>".
std::string commitBatHeader(std::string_view characterSet = {});

// One completed script as the replay lists it, with the line ends Commit.bat
// writes around its replay line.
struct ReplayEntry {
    std::string relativePath;  // with backslashes
    int lineEndsBefore = 1;
    int lineEndsAfter = 0;
};
using ReplayEntries = std::vector<ReplayEntry>;

// After Users.sql is written: CR LF, its replay line, CR LF.
ReplayEntries usersReplay();
// Per table script (create or data): CR LF, then its replay line.
ReplayEntries tableScriptReplay(std::string_view relativePath);
// When the index and the constraint scripts are complete.
ReplayEntries indexReplay();
ReplayEntries constraintsReplay();
// After views, triggers and procedures are written: the trigger, view and procedure scripts.
ReplayEntries codeScriptsReplay();

// What Commit.bat gains for the entries.
std::string commitBatLines(const ReplayEntries& entries);

}  // namespace restorix
