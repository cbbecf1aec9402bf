#pragma once
// One row per column type the catalog keeps: how its values are decoded and
// how a Create Table statement writes it. Codes without a row take the
// fallback row.

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
    Lob,            // one space: the locator is not read
    None,           // the text NULL
};

// How a column's type follows its quoted name in Create Table.
enum class TypeForm {
    Sized,         // type text + "(" + length + ")"
    Plain,         // type text alone
    NumberScaled,  // Number(p) or Number(p,s)
    NumberStar,    // Number(*,s): a scale without a precision
    Fallback,      // Varchar2(10) directly after the name
};

struct ColumnType {
    std::uint8_t typeCode;  // as the catalog keeps it
    ValueDecoder decoder;
    std::string_view text;  // Create Table's type word, after a space
    TypeForm form;
};

// The row of a type code; the fallback row (code 0) for codes without one
// (ROWID, TIMESTAMP WITH TIME ZONE, object types ...).
const ColumnType& columnType(int typeCode);

// Every row, the fallback last: for tests and listings.
std::span<const ColumnType> columnTypes();

}  // namespace restorix
