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
#include "dictionary/recovery.h"
#include "tabledata/saving_state.h"
#include "tabledata/row_value.h"

namespace restorix {

using RowList = std::vector<RowValue>;

// A preview stops after the block that takes the count of row slots past this.
constexpr int kPreviewRowSlotLimit = 115;

// The catalog columns of one table, looked up once per read: the number of
// them (kept in 8 bits, as consumers count values per row) and, by column
// number, the type of the first catalog column with that number.
class TableColumns {
public:
    TableColumns() = default;
    TableColumns(const Catalog& catalog, const ObjectEntry& table,
                 NationalCharset national = NationalCharset::Al16Utf16);

    std::int32_t objectNumber() const { return objectNumber_; }
    std::uint8_t columnCount() const { return columnCount_; }
    bool hasColumns() const { return hasColumns_; }
    // How the database stores NCHAR and NVARCHAR2 values.
    NationalCharset national() const { return national_; }
    // The type code of the column that holds the k-th stored value (k from 0).
    std::optional<std::uint8_t> typeOfStoredValue(int k) const;
    // Whether the row stores its values in another order than the columns
    // are declared in: a LONG column is stored last wherever it is declared.
    bool storesOutOfOrder() const { return storesOutOfOrder_; }
    // For such a table, the stored value (k from 0) that fills the declared
    // column at `slot` (from 0); -1 when no stored value does.
    int storedIndexOfSlot(int slot) const { return storedIndexOfSlot_[static_cast<std::size_t>(slot)]; }

private:
    static constexpr int kNoColumn = -1;
    void mapStoredValues(const std::vector<const ColumnEntry*>& columns);

    std::int32_t objectNumber_ = 0;
    std::uint8_t columnCount_ = 0;
    bool hasColumns_ = false;
    bool storesOutOfOrder_ = false;
    NationalCharset national_ = NationalCharset::Al16Utf16;
    std::array<std::int16_t, 256> typeByNumber_{};
    std::array<std::int16_t, 256> typeByStoredIndex_{};
    std::array<std::int16_t, 256> storedIndexOfSlot_{};
};

// Read at every value: stored value k is column k + 1 (numbers start at 1),
// unless the table stores its values out of their declared order.
inline std::optional<std::uint8_t> TableColumns::typeOfStoredValue(int k) const {
    const std::array<std::int16_t, 256>& types = storesOutOfOrder_ ? typeByStoredIndex_ : typeByNumber_;
    const int at = storesOutOfOrder_ ? k : k + 1;
    if (at < 0 || at >= static_cast<int>(types.size())) return std::nullopt;
    const std::int16_t type = types[static_cast<std::size_t>(at)];
    if (type == kNoColumn) return std::nullopt;
    return static_cast<std::uint8_t>(type);
}

// Reads the table whose ObjectEntry has this object number, through the
// blocks of its data object number. Without `saving` it reads in preview mode
// (stop flag: the analysis' control) and leaves every value in rowList; with
// it, in saving mode: writes each block's rows to the data script (turning
// several blocks into statements at once on all cores, writing them in block
// order), moves the two bars, counts overall units and honours Skip Table,
// Stop and Pause of `saving`. Values of a block cut short by Skip or Stop are
// not written; rowList stays empty in saving mode, and a script that cannot
// be opened raises OutputFileError before any block is read. Rows stored in
// several pieces are followed through the datafile and read in their head
// piece's place. Returns what was read (in saving mode: written) and what
// could not be recovered.
RowCounts readTableRows(Recovery& recovery, std::int32_t objectNumber, RowList& rowList,
                   SavingState* saving = nullptr);

inline void releaseRowList(RowList& rowList) { rowList.clear(); }

}  // namespace restorix
