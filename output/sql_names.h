#pragma once
// How recovered names are written into the output: as SQL identifiers in the
// statements, and as parts of file and folder names. Names are UTF-8.

#include <string>
#include <string_view>

namespace restorix {

// The name as a file or folder name part: every character other than the
// ASCII letters, the digits and _ $ # - . becomes "_" (a multi-byte UTF-8
// character becomes one "_"); an empty name gives "_". Callers always add a
// suffix ("_create", ".sql", "Data.sql"), so no result names "." or "..".
std::string safeFileName(std::string_view name);

// The table name as its Create Table statement and its scripts know it:
// every "/" replaced by "_".
std::string createTableForm(std::string_view tableName);

// A table's file name part: its Create Table form made safe for the file system.
std::string tableFileName(std::string_view tableName);

// True for Oracle's SQL reserved words, compared case-insensitively.
bool isReservedWord(std::string_view word);

// sqlplus reads a script line by line, so a name cannot carry a line break
// into a quoted identifier, and no other control character (bytes below 0x20,
// and 0x7F) belongs in one: the identifiers below write each as "_". The
// saving job counts and logs every name this changes.
bool hasControlCharacter(std::string_view name);

// The bytes of a text as upper-case hexadecimal pairs separated by blanks
// ("41 0A 42"), as the log shows a name that was changed.
std::string hexBytes(std::string_view text);

// A schema, object or constraint name as an SQL identifier: written as stored
// when it is a plain identifier ([A-Za-z][A-Za-z0-9_$#]*) and not a reserved
// word, otherwise in double quotes with inner double quotes doubled and each
// control character written "_".
std::string sqlName(std::string_view name);

// sqlName of the table's Create Table form.
std::string tableSqlName(std::string_view tableName);

// Column names are always quoted: "NAME", with inner double quotes doubled
// and each control character written "_".
std::string quotedColumn(std::string_view columnName);

// sqlName(schema) + "." + tableSqlName(table): how every statement names a table.
std::string qualifiedTableName(std::string_view schemaName, std::string_view tableName);

}  // namespace restorix
