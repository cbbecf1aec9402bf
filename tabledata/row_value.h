#pragma once
// One formatted column value of a table row, as the row reader collects them
// and the script writers and the preview consume them.

#include <cstdint>
#include <string>
#include <string_view>

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
    Raw,          // RAW, LONG RAW: upper-case hexadecimal, "0AFF"
    BinaryFloat,  // shortest decimal that reads back the same ("1.5", "1e+20"), "NaN", "Inf", "-Inf"
    BinaryDouble, // the same for BINARY_DOUBLE
    TimestampZone,      // "YYYY-MM-DD HH24:MI:SS[.fraction] +HH:MI" in the zone's local time
    IntervalYearMonth,  // "2-3", "-2-3"
    IntervalDaySecond,  // "4 05:12:10.222000000", "-4 05:12:10.222000000"
    NationalText,       // NCHAR, NVARCHAR2: the text, written as UNISTR
    Undecodable,  // bytes that do not fit their type's form; text "NULL"
};

// A value the script cannot carry as stored: bytes that do not fit their
// type's form (written in a fallback form: NULL, or the day-month-year text of
// a date), or a type without a decoder (written NULL).
constexpr bool isUndecodable(ValueKind kind) {
    return kind == ValueKind::Undecodable || kind == ValueKind::InvalidDate || kind == ValueKind::NoDecoder;
}
inline bool isUndecodable(ValueKind kind, std::string_view text) {
    return isUndecodable(kind) || (kind == ValueKind::Number && text.empty());
}
// What one read of a table accounts for: the rows it wrote and what it could
// not recover, by reason.
struct RowCounts {
    long rowsWritten = 0;
    long undecodableValues = 0;  // written as the type's fallback text or NULL
    long brokenChains = 0;       // rows whose pieces could not be followed: not written
    long valuesTooLong = 0;      // longer than a script can carry: written NULL
    long blocksNotRead = 0;      // no consistent data header: the block's rows are lost
    // Written rows that went through a piece holding both its head's and the
    // next piece's address: its layout is inferred, so a real file can tell.
    long migratedChainedRows = 0;
    long rowsWithExtraValues = 0;  // written with their declared columns; values of no column left out
    long columnsUnreadable = 0;    // COL$ rows that cannot be read: the table is not created
    long rowsInTableNotCreated = 0;  // rows of such a table: not written
    long namesChanged = 0;       // the table's and its columns' names written with "_" for control characters
    // Tables whose scripts are not named by their names alone (numbered to
    // stay apart, kept off a device name, shortened for Commit.bat).
    long scriptNamesChanged = 0;
    long unreadableBlocks = 0;   // a read error of the disk: the block's rows are lost

    RowCounts& operator+=(const RowCounts& other) {
        rowsWritten += other.rowsWritten;
        undecodableValues += other.undecodableValues;
        brokenChains += other.brokenChains;
        valuesTooLong += other.valuesTooLong;
        blocksNotRead += other.blocksNotRead;
        migratedChainedRows += other.migratedChainedRows;
        rowsWithExtraValues += other.rowsWithExtraValues;
        columnsUnreadable += other.columnsUnreadable;
        rowsInTableNotCreated += other.rowsInTableNotCreated;
        namesChanged += other.namesChanged;
        scriptNamesChanged += other.scriptNamesChanged;
        unreadableBlocks += other.unreadableBlocks;
        return *this;
    }
};

// One table's line of the recovery's account.
struct TableAccount {
    std::string schema;
    std::string table;
    RowCounts counts;
};

struct RowValue {
    std::uint8_t columnCount = 0;  // catalog columns of the table, kept in 8 bits
    std::string text;              // UTF-8
    std::int32_t objectNumber = 0;
    ValueKind kind = ValueKind::Null;
};

}  // namespace restorix
