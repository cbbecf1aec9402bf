#pragma once
// What sqlplus makes of the lines of a script, and the statement form that
// carries stored code past it as data. sqlplus reads a script line by line:
// a line holding only "/" runs the statement, one holding only "." ends it,
// a line beginning with "#" runs as a command even inside a statement, and
// inside a SQL statement a line ending in ";" ends it. Every line after such
// a line is read afresh, so stored code from a hostile datafile could end its
// statement early and have the next line ("host ...") run as a command.

#include <string>
#include <string_view>

namespace restorix {

// The first line of every SQL script: a blank line then never ends a statement.
inline constexpr std::string_view kSqlScriptHead = "SET SQLBLANKLINES ON\r\n";

// How sqlplus reads a statement: a SQL statement ends at a line ending in
// ";", a PL/SQL one (CREATE TRIGGER, PROCEDURE, FUNCTION, BEGIN, ...) only
// at a "/" or "." line.
enum class StatementLanguage { Sql, Plsql };

// Whether a line of the statement text (lines end at LF; blanks and CRs
// around a line do not count) is one that sqlplus would not take as part of
// the statement: "/" or "." alone, a first character "#" and, in SQL, a last
// character ";".
bool holdsSqlplusControlLine(std::string_view statement, StatementLanguage language);

// The statement run from a PL/SQL block with its text as a string literal
// spliced as data values are: "BEGIN EXECUTE IMMEDIATE '...'; END;", or,
// for a text longer than a PL/SQL literal may be, a DBMS_SQL.PARSE of its
// pieces. CR LF line ends; the block is ended by a "/" line and an empty line.
std::string statementRunAsData(std::string_view statement);

}  // namespace restorix
