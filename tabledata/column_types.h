#pragma once
// What the writers make of a catalog column: the kind its values are
// formatted as (from its Oracle type, precision, scale and character set
// form, in columnKind alone), and one row per kind with how its values are
// decoded and how a Create Table statement writes its type.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "dictionary/catalog.h"

namespace restorix {

// The kinds a column's values are formatted as, in the order of the rows.
enum class ColumnKind : std::uint8_t {
    Varchar2,
    NumberStar,       // NUMBER(*, s): a scale without a precision
    NumberInteger,    // NUMBER without precision, scale absent or 0
    NumberScaled,     // NUMBER(p), NUMBER(p, s)
    Float,            // FLOAT(p): a precision and no scale
    Long,
    Date,
    Raw,
    LongRaw,
    Rowid,
    BinaryFloat,
    BinaryDouble,
    Char,
    Clob,
    Blob,
    Timestamp,
    TimestampLocal,   // WITH LOCAL TIME ZONE
    TimestampZone,    // WITH TIME ZONE
    IntervalYearMonth,
    IntervalDaySecond,
    NationalChar,     // NCHAR: CHAR in the national character set
    NationalVarchar2, // NVARCHAR2: VARCHAR2 in the national character set
    Other,            // a type the writers do not handle (UROWID, object types ...)
};

// The one mapping from what COL$ holds to the kind.
ColumnKind columnKind(const ColumnEntry& column);

enum class ValueDecoder {
    IntegerNumber,  // the narrow integer decoder, or the exact value
    PointNumber,    // the narrow decoder that always writes a point, or the exact value
    ExactNumber,    // the exact value, or NULL
    Date,
    Timestamp,
    Char,
    Varchar2,
    Raw,             // upper-case hexadecimal
    BinaryFloat,     // 4 bytes, order-preserving IEEE-754
    BinaryDouble,    // 8 bytes, the same
    TimestampZone,   // 13 bytes: UTC date and time, nanoseconds, zone
    IntervalYearMonth,
    IntervalDaySecond,
    NationalChar,     // CHAR in the national character set
    NationalVarchar2, // VARCHAR2 in the national character set
    Lob,            // one space: the locator is not read
    None,           // the text NULL
};

// How a column's type follows its quoted name in Create Table.
enum class TypeForm {
    Sized,         // type text + "(" + length + ")"
    Plain,         // type text alone
    NumberScaled,  // Number(p) or Number(p,s)
    NumberStar,    // Number(*,s): a scale without a precision
    IntervalDay,   // type text + "(" + length + ")" + suffix + "(" + scale + ")"
    NationalSized, // type text + "(" + length in characters + ")"
    Fallback,      // Varchar2(10) directly after the name
};

struct ColumnType {
    ColumnKind kind;
    ValueDecoder decoder;
    std::string_view text;  // Create Table's type word, after a space
    TypeForm form;
    std::string_view suffix = {};  // after the length: " With Time Zone", " To Month" ...
};

constexpr std::size_t kColumnKindCount = static_cast<std::size_t>(ColumnKind::Other) + 1;

// One row per kind, in kind order (Other last).
extern const std::array<ColumnType, kColumnKindCount> kColumnTypes;

// The row of a kind; a value beyond the kinds takes Other's.
inline const ColumnType& columnType(ColumnKind kind) {
    return kColumnTypes[std::min(static_cast<std::size_t>(kind), kColumnKindCount - 1)];
}

// columnType(kind).decoder, looked up at every value read.
inline ValueDecoder valueDecoder(ColumnKind kind) { return columnType(kind).decoder; }

}  // namespace restorix
