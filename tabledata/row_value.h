#pragma once
// One formatted column value of a table row, as the row reader collects them
// and the script writers and the preview consume them.

#include <cstdint>
#include <string>

namespace restorix {

// How a writer renders a value's text. The text alone cannot tell: a
// VARCHAR2 holding the four letters NULL is data, a NULL column is not.
enum class ValueKind : std::uint8_t {
    Null,         // the column is NULL; text "NULL"
    NoDecoder,    // a type without a decoder (RAW, LONG, ROWID, ...); text "NULL"
    Text,         // CHAR, VARCHAR2 and any other text written quoted
    Number,       // a NUMBER in plain decimal; empty when the bytes give no number
    Date,         // a valid DATE: "YYYY-MM-DD HH24:MI:SS"
    Timestamp,    // a valid TIMESTAMP: as Date, plus ".fraction" when not zero
    InvalidDate,  // DATE or TIMESTAMP bytes that are no valid date: "5-Mar- 2011" form
    Lob,          // CLOB or BLOB: the locator is not read; text " "
};

struct RowValue {
    std::uint8_t columnCount = 0;  // catalog columns of the table, kept in 8 bits
    std::string text;              // UTF-8
    std::int32_t objectNumber = 0;
    ValueKind kind = ValueKind::Null;
};

}  // namespace restorix
