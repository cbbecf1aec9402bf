#pragma once
// The Create Table statement of one table, rebuilt from its column entries.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/catalog.h"

namespace restorix {

// One column's text inside the statement: a space, the quoted name, then its
// type, e.g. ` "SAL" Number(10,2)`. Types this system does not rebuild come
// out as Varchar2(10) directly after the name. NCHAR and NVARCHAR2 lengths
// are counted in characters of the national character set.
std::string columnDefinition(const ColumnEntry& column, NationalCharset national = NationalCharset::Al16Utf16);

// "Create Table S.T(" + column texts joined by "," + ");" with the columns in
// ascending column number (the dictionary may list them in another order).
std::string createTableStatement(std::string_view schemaName, std::string_view tableName,
                                 std::span<const ColumnEntry* const> columns,
                                 NationalCharset national = NationalCharset::Al16Utf16);
std::string createTableStatement(std::string_view schemaName, std::string_view tableName,
                                 std::span<const ColumnEntry> columns,
                                 NationalCharset national = NationalCharset::Al16Utf16);

// The whole content of SCHEMA_create\TABLE.sql: the statement with CR LF line
// ends, then CR LF and "Exit;".
std::string createTableScriptText(std::string_view schemaName, std::string_view tableName,
                                  std::span<const ColumnEntry* const> columns,
                                  NationalCharset national = NationalCharset::Al16Utf16);

// One line that says why a table is not created: its name and each of its
// COL$ rows that cannot be read, e.g. `HR.T is not created: the COL$ row of
// column 3 "SAL" cannot be read (its type is no Oracle column type); its rows
// are not written.` Control characters of the names become "_", so the line
// stays one line wherever it goes (a REM line, the log, a terminal).
std::string tableNotCreatedNote(std::string_view schemaName, std::string_view tableName,
                                std::span<const ColumnEntry* const> unreadableColumns);

// The Create Table script of such a table: the note as a REM line, no
// statement, then CR LF and "Exit;". It is not replayed.
std::string tableNotCreatedScriptText(std::string_view note);

}  // namespace restorix
