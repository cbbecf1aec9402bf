#include "output/sql_names.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/codepage.h"

namespace restorix {
namespace {

// Oracle's SQL reserved words, sorted for binary search.
constexpr std::array<std::string_view, 109> kReservedWords = {
    "ACCESS", "ADD", "ALL", "ALTER", "AND", "ANY", "AS", "ASC", "AUDIT", "BETWEEN", "BY", "CHAR",
    "CHECK", "CLUSTER", "COLUMN", "COMMENT", "COMPRESS", "CONNECT", "CREATE", "CURRENT", "DATE",
    "DECIMAL", "DEFAULT", "DELETE", "DESC", "DISTINCT", "DROP", "ELSE", "EXCLUSIVE", "EXISTS",
    "FILE", "FLOAT", "FOR", "FROM", "GRANT", "GROUP", "HAVING", "IDENTIFIED", "IMMEDIATE", "IN",
    "INCREMENT", "INDEX", "INITIAL", "INSERT", "INTEGER", "INTERSECT", "INTO", "IS", "LEVEL",
    "LIKE", "LOCK", "LONG", "MAXEXTENTS", "MINUS", "MLSLABEL", "MODE", "MODIFY", "NOAUDIT",
    "NOCOMPRESS", "NOT", "NOWAIT", "NULL", "NUMBER", "OF", "OFFLINE", "ON", "ONLINE", "OPTION",
    "OR", "ORDER", "PCTFREE", "PRIOR", "PRIVILEGES", "PUBLIC", "RAW", "RENAME", "RESOURCE",
    "REVOKE", "ROW", "ROWID", "ROWNUM", "ROWS", "SELECT", "SESSION", "SET", "SHARE", "SIZE",
    "SMALLINT", "START", "SUCCESSFUL", "SYNONYM", "SYSDATE", "TABLE", "THEN", "TO", "TRIGGER",
    "UID", "UNION", "UNIQUE", "UPDATE", "USER", "VALIDATE", "VALUES", "VARCHAR", "VARCHAR2",
    "VIEW", "WHENEVER", "WHERE", "WITH",
};
static_assert(std::is_sorted(kReservedWords.begin(), kReservedWords.end()));

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool isIdentifierCharacter(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '$' || c == '#';
}

bool isFileNameCharacter(char c) {
    return isAsciiLetter(c) || isAsciiDigit(c) || c == '_' || c == '$' || c == '#' || c == '-' ||
           c == '.';
}

bool isPlainIdentifier(std::string_view name) {
    return !name.empty() && isAsciiLetter(name.front()) &&
           std::all_of(name.begin() + 1, name.end(), isIdentifierCharacter);
}

std::string asciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

constexpr char kControlCharacterStandIn = '_';
std::string doubleQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += isAsciiControl(c) ? kControlCharacterStandIn : c;
    }
    out += '"';
    return out;
}

}  // namespace

std::string safeFileName(std::string_view name) {
    if (name.empty()) return "_";
    std::string out;
    out.reserve(name.size());
    std::size_t pos = 0;
    while (pos < name.size()) {
        const char c = name[pos++];
        if (isFileNameCharacter(c)) {
            out += c;
            continue;
        }
        // One "_" per character: a multi-byte character's continuation bytes go with it.
        if (static_cast<std::uint8_t>(c) >= 0xC0) {
            while (pos < name.size() && isUtf8Continuation(name[pos])) ++pos;
        }
        out += '_';
    }
    return out;
}

std::string createTableForm(std::string_view tableName) {
    std::string out(tableName);
    std::replace(out.begin(), out.end(), '/', '_');
    return out;
}

std::string tableFileName(std::string_view tableName) {
    return safeFileName(createTableForm(tableName));
}

bool hasControlCharacter(std::string_view name) { return std::any_of(name.begin(), name.end(), isAsciiControl); }

std::string hexBytes(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (!out.empty()) out += ' ';
        out += kUpperHexDigits[byte >> 4];
        out += kUpperHexDigits[byte & 0xF];
    }
    return out;
}

bool isReservedWord(std::string_view word) {
    return std::binary_search(kReservedWords.begin(), kReservedWords.end(), asciiUpper(word));
}

std::string sqlName(std::string_view name) {
    if (isPlainIdentifier(name) && !isReservedWord(name)) return std::string(name);
    return doubleQuoted(name);
}

std::string tableSqlName(std::string_view tableName) { return sqlName(createTableForm(tableName)); }

std::string quotedColumn(std::string_view columnName) { return doubleQuoted(columnName); }

std::string qualifiedTableName(std::string_view schemaName, std::string_view tableName) {
    return sqlName(schemaName) + "." + tableSqlName(tableName);
}

}  // namespace restorix
