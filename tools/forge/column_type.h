#pragma once
// A column's declared type ("VARCHAR2(30)", "NUMBER(10,2)", "TIMESTAMP(3) WITH
// TIME ZONE", ...), what COL$ stores for it, and how a value given as text is
// stored in a row of that type.

#include <optional>
#include <string>
#include <string_view>

#include "tools/forge/block_builder.h"

namespace restorix::forge {

enum class TypeKind {
    Varchar2,
    Char,
    Number,  // NUMBER, NUMBER(p), NUMBER(p,s), NUMBER(*,s), INTEGER
    Float,   // FLOAT(p): a NUMBER with a binary precision and no scale
    Date,
    Timestamp,
    TimestampTz,
    TimestampLtz,
    Clob,
    Blob,
    Raw,
    Long,
    LongRaw,
    Rowid,
};

struct ColumnType {
    TypeKind kind = TypeKind::Varchar2;
    int length = 0;                 // VARCHAR2, CHAR, RAW: declared bytes
    std::optional<int> precision;   // NUMBER, FLOAT
    std::optional<int> scale;       // NUMBER; fractional seconds of the TIMESTAMP kinds
    bool operator==(const ColumnType&) const = default;
};

// Throws std::invalid_argument for a text that names no supported type.
ColumnType parseColumnType(std::string_view text);
// The declaration again, normalised ("NUMBER(10,2)", "TIMESTAMP(6) WITH TIME ZONE").
std::string columnTypeText(const ColumnType& type);

// What COL$ holds for a column of this type.
struct DictionaryType {
    int typeNumber = 0;              // TYPE#
    int length = 0;                  // LENGTH
    std::optional<int> precision;    // PRECISION#
    std::optional<int> scale;        // SCALE
    bool characterData = false;      // CHARSETID / CHARSETFORM are set
};
DictionaryType dictionaryType(const ColumnType& type);

// The stored bytes of one value given as text:
//   VARCHAR2, CHAR, LONG, CLOB: the text (UTF-8, stored in the code page; CHAR
//     blank-padded to its length; CLOB as an in-row LOB locator);
//   NUMBER, FLOAT: plain decimal ("-12.5");
//   DATE: "YYYY-MM-DD" or "YYYY-MM-DD HH:MI:SS";
//   TIMESTAMP, ... WITH LOCAL TIME ZONE: "YYYY-MM-DD HH:MI:SS[.fraction]";
//   TIMESTAMP WITH TIME ZONE: the same followed by " +HH:MI" or " -HH:MI";
//   RAW, LONG RAW, BLOB: hexadecimal digits (BLOB as an in-row LOB locator);
//   ROWID: the 18-character extended rowid text.
// Throws std::invalid_argument for a text the type cannot hold.
Bytes encodeValue(const ColumnType& type, std::string_view text);

}  // namespace restorix::forge
