#pragma once
// Reads one table's rows out of its blocks into a list of formatted values:
// in preview mode the first blocks only, in saving mode every block, writing
// the data script after each block.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "datafile/block_layout.h"
#include "datafile/block_view.h"
#include "dictionary/catalog.h"
#include "dictionary/database.h"
#include "platform/job_control.h"
#include "tabledata/column_types.h"
#include "tabledata/saving_state.h"
#include "tabledata/row_value.h"

namespace restorix {

using RowList = std::vector<RowValue>;

// A preview stops after the block that takes the count of row slots past this.
constexpr int kPreviewRowSlotLimit = 115;

// The catalog columns of one table, looked up once per read: the declared
// columns in ascending column number (their count kept in 8 bits, as
// consumers count values per row), and where the row stores each one.
//
// A row stores its values by SEGCOL#, whatever order the columns are declared
// in (a LONG is stored last) and including columns that are not declared any
// more (SET UNUSED and other hidden columns, COL# 0). A catalog that names no
// SEGCOL# at all has none to give: its columns are then taken as stored in
// column-number order. Where the catalog names places, a declared column
// without one has no stored value.
class TableColumns {
public:
    TableColumns() = default;
    TableColumns(const Catalog& catalog, const ObjectEntry& table,
                 NationalCharset national = NationalCharset::Al16Utf16);

    std::int32_t objectNumber() const { return objectNumber_; }
    std::uint8_t columnCount() const { return columnCount_; }
    bool hasColumns() const { return hasColumns_; }
    // COL$ rows of the table that cannot be read: its rows give no values.
    int columnsUnreadable() const { return columnsUnreadable_; }
    // How the database stores NCHAR and NVARCHAR2 values.
    NationalCharset national() const { return national_; }
    // The kind of the declared column that the k-th stored value (k from 0)
    // belongs to; none for a hidden column's value or one of no column.
    std::optional<ColumnKind> kindOfStoredValue(int k) const;
    // The stored value (k from 0) that fills the declared column at `slot`
    // (from 0); -1 when no stored value does.
    int storedIndexOfSlot(int slot) const { return storedIndexOfSlot_[static_cast<std::size_t>(slot)]; }
    // The stored values the catalog knows a place for, declared or hidden: a
    // row that stores more has values of no column (a damaged column count).
    int storedValuesKnown() const { return storedValuesKnown_; }

private:
    static constexpr int kNoColumn = -1;
    void mapStoredValues(const std::vector<const ColumnEntry*>& columns,
                         const std::vector<const ColumnEntry*>& hidden);

    std::int32_t objectNumber_ = 0;
    std::uint8_t columnCount_ = 0;
    bool hasColumns_ = false;
    int columnsUnreadable_ = 0;
    int storedValuesKnown_ = 0;
    NationalCharset national_ = NationalCharset::Al16Utf16;
    std::array<std::int16_t, 256> kindByStoredIndex_{};
    std::array<std::int16_t, 256> storedIndexOfSlot_{};
};

inline std::optional<ColumnKind> TableColumns::kindOfStoredValue(int k) const {
    if (k < 0 || k >= static_cast<int>(kindByStoredIndex_.size())) return std::nullopt;
    const std::int16_t kind = kindByStoredIndex_[static_cast<std::size_t>(k)];
    if (kind == kNoColumn) return std::nullopt;
    return static_cast<ColumnKind>(kind);
}

// Reads the table whose ObjectEntry has this object number, through the
// blocks of its data object number. In preview mode (the first form) it
// honours Stop and Pause of `previewControl` and leaves every value in
// rowList; in saving mode (the second): writes each block's rows to the data script (turning
// several blocks into statements at once on all cores, writing them in block
// order), moves the two bars, counts overall units and honours Skip Table,
// Stop and Pause of `saving`. Values of a block cut short by Skip or Stop are
// not written; rowList stays empty in saving mode, and a script that cannot
// be opened raises OutputFileError before any block is read. Rows stored in
// several pieces are followed through the datafile and read in their head
// piece's place. Each stored row gives exactly one value per declared
// column; values of no declared column are left out, and a row storing
// values the catalog knows no place for is counted (rowsWithExtraValues). A
// table with an unreadable COL$ row gives no values: its rows are counted as
// not recovered. Returns what was read (in saving mode: written) and what
// could not be recovered.
RowCounts readTableRows(const Database& database, const Catalog& catalog, std::int32_t objectNumber,
                        RowList& rowList, JobControl& previewControl);
RowCounts readTableRows(const Database& database, const Catalog& catalog, std::int32_t objectNumber,
                        RowList& rowList, SavingState& saving);

inline void releaseRowList(RowList& rowList) { rowList.clear(); }

}  // namespace restorix
