#pragma once
// A stand-in for sqlplus reading a script, for the tests: it follows the line
// rules by which sqlplus tells a statement from a command, runs nothing, and
// records what sqlplus would have run.
//
// Inside a SQL statement a line ending in ";" ends it, and a blank line ends
// it (unrun) unless SET SQLBLANKLINES ON was read. A statement that starts
// CREATE [OR REPLACE] PROCEDURE / FUNCTION / PACKAGE / TRIGGER / TYPE, or
// DECLARE or BEGIN, is PL/SQL and ends only at a "/" line (run) or a "."
// line (unrun). A line whose first character is "#" is a command wherever it
// stands. Outside a statement a line whose first word is a sqlplus command
// (or starts with @, !, $) runs as one; "/" there runs the last statement again.

#include <string>
#include <string_view>
#include <vector>

namespace restorix::test {

struct SqlplusReplay {
    std::vector<std::string> statements;   // run, lines joined by LF, without the ";" that ended them
    std::vector<std::string> commands;     // every command line read, trimmed
    std::vector<std::string> forbidden;    // commands other than SET SQLBLANKLINES ON and Exit;
    std::vector<std::string> abandoned;    // statements ended without being run (a blank or "." line)
    bool endsInsideStatement = false;      // the script ended with a statement still open
};

SqlplusReplay replayLikeSqlplus(std::string_view script);

}  // namespace restorix::test
