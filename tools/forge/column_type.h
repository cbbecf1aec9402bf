#pragma once
// A column's declared type ("VARCHAR2(30)", "NUMBER(10,2)", "TIMESTAMP(3) WITH
// TIME ZONE", ...), what COL$ stores for it, and how a value given as text is
// stored in a row of that type.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    BinaryFloat,
    BinaryDouble,
    IntervalYearMonth,
    IntervalDaySecond,
    Nchar,      // CHAR in the national character set (AL16UTF16)
    Nvarchar2,  // VARCHAR2 in the national character set (AL16UTF16)
};

struct ColumnType {
    TypeKind kind = TypeKind::Varchar2;
    int length = 0;                 // VARCHAR2, CHAR, RAW: declared bytes; NCHAR, NVARCHAR2: characters
    std::optional<int> precision;   // NUMBER, FLOAT; leading field of the INTERVAL kinds
    std::optional<int> scale;       // NUMBER; fractional seconds of the TIMESTAMP kinds and DAY TO SECOND
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
    bool national = false;           // ... to the national character set
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
//   ROWID: the 18-character extended rowid text;
//   BINARY_FLOAT, BINARY_DOUBLE: decimal text ("1.5", "-1e+20"), "NaN", "Inf", "-Inf";
//   INTERVAL YEAR TO MONTH: "Y-M" or "-Y-M";
//   INTERVAL DAY TO SECOND: "D HH:MI:SS[.fraction]", a leading "-" for a negative one;
//   NCHAR, NVARCHAR2: the text (UTF-8, stored in UTF-16 big-endian; NCHAR blank-padded).
// Throws std::invalid_argument for a text the type cannot hold.
Bytes encodeValue(const ColumnType& type, std::string_view text);

// Whether the database stores a column of this type after all others in a
// row (LONG, LONG RAW), whatever its declared place.
bool storedLast(const ColumnType& type);

// The order in which a row stores the columns of these types: indexes into
// `types`, the columns stored last at the end in declared order.
template <typename Columns, typename TypeOf>
std::vector<std::size_t> storedColumnOrder(const Columns& columns, const TypeOf& typeOf) {
    std::vector<std::size_t> order;
    for (int last = 0; last < 2; ++last)
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (storedLast(typeOf(columns[i])) == (last == 1)) order.push_back(i);
    return order;
}

}  // namespace restorix::forge
