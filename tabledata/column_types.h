#pragma once
// One row per column type the catalog keeps: how its values are decoded and
// how a Create Table statement writes it. Codes without a row take the
// fallback row.

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "dictionary/catalog.h"

namespace restorix {

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
    std::uint8_t typeCode;  // as the catalog keeps it
    ValueDecoder decoder;
    std::string_view text;  // Create Table's type word, after a space
    TypeForm form;
    std::string_view suffix = {};  // after the length: " With Time Zone", " To Month" ...
};

// The row of a type code; the fallback row (code 0) for codes without one
// (UROWID, object types ...).
const ColumnType& columnType(int typeCode);

// columnType(typeCode).decoder, looked up at every value read: kept in a
// table of its own, filled from the rows.
extern const std::array<ValueDecoder, 256> kDecoderOfCode;
inline ValueDecoder valueDecoder(int typeCode) {
    if (typeCode < 0 || typeCode >= static_cast<int>(kDecoderOfCode.size())) return columnType(typeCode).decoder;
    return kDecoderOfCode[static_cast<std::size_t>(typeCode)];
}

// Every row, the fallback last: for tests and listings.
std::span<const ColumnType> columnTypes();

}  // namespace restorix
