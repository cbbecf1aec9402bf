#include "tabledata/row_reader.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <thread>

#include "tabledata/data_script_writer.h"
#include "tabledata/value_format.h"

namespace restorix {

namespace {

// A live row held in one piece: Head, First and Last set, nothing else.
constexpr std::uint8_t kSinglePieceRow = Head | First | Last;
constexpr int kStoredColumnCountOffset = 2;
constexpr int kFullProgress = 100;
constexpr std::string_view kNullText = "NULL";
// Consecutive blocks of a table are read together, up to this many at once.
constexpr std::size_t kSavingReadRun = 64;
constexpr std::size_t kPreviewReadRun = 1;
// A block of a typical table holds a few hundred values; the list grows past
// this only for blocks of many short rows.
constexpr std::size_t kInitialRowListCapacity = 4096;

void appendNull(RowList& rowList, const TableColumns& table) {
    rowList.push_back(RowValue{table.columnCount(), std::string(kNullText), table.objectNumber(), ValueKind::Null});
}

// The table's blocks in index order, read with one read per run of
// consecutive block numbers into one reused buffer. Bytes past the end of the
// file read as zeros.
class TableBlocks {
public:
    TableBlocks(const Recovery& recovery, std::span<const std::uint32_t> positions, std::size_t maxRun)
        : file_(recovery.datafile), entries_(recovery.blockIndex.entries()), positions_(positions),
          maxRun_(std::max<std::size_t>(maxRun, 1)) {}

    std::size_t size() const { return positions_.size(); }
    bool isLastIndexEntry(std::size_t i) const { return positions_[i] + 1 >= entries_.size(); }

    // Block i of the table; valid until the next call.
    BlockView block(std::size_t i) {
        if (i < runStart_ || i >= runStart_ + runLength_) readRunFrom(i);
        const std::uint8_t* start = buffer_.data() + (i - runStart_) * kBlockSize;
        return BlockView(std::span<const std::uint8_t, kBlockSize>(start, kBlockSize));
    }

private:
    std::int64_t blockNumber(std::size_t i) const { return entries_[positions_[i]].blockNumber; }

    void readRunFrom(std::size_t first) {
        std::size_t length = 1;
        while (length < maxRun_ && first + length < positions_.size() &&
               blockNumber(first + length) == blockNumber(first) + static_cast<std::int64_t>(length)) {
            ++length;
        }
        buffer_.resize(length * kBlockSize);
        const std::size_t got = file_.readAt(blockNumber(first) * kBlockSize, buffer_);
        std::memset(buffer_.data() + got, 0, buffer_.size() - got);
        runStart_ = first;
        runLength_ = length;
    }

    const CFile64& file_;
    const std::vector<BlockEntry>& entries_;
    std::span<const std::uint32_t> positions_;
    std::size_t maxRun_;
    std::vector<std::uint8_t> buffer_;
    std::size_t runStart_ = 0;
    std::size_t runLength_ = 0;
};

enum class BlockOutcome { Done, Stopped, Skipped };

// One read of one table, in either mode.
class TableRead {
public:
    TableRead(Recovery& recovery, const TableColumns& table, RowList& rowList, SavingState* saving)
        : recovery_(recovery), table_(table), rowList_(rowList), saving_(saving),
          control_(saving ? saving->control : recovery.analysisControl) {
        if (saving_) writer_.emplace(*saving_);
    }

    void run(std::int32_t dataObjectNumber) {
        TableBlocks blocks(recovery_, recovery_.blockIndex.blocksOf(dataObjectNumber),
                           saving_ ? kSavingReadRun : kPreviewReadRun);
        if (blocks.size() == 0) {
            finishTable();
            return;
        }
        rowList_.reserve(kInitialRowListCapacity);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (!control_.proceed()) return;
            if (skipRequested()) return actOnSkip();
            switch (processBlock(blocks.block(i))) {
                case BlockOutcome::Stopped: return;
                case BlockOutcome::Skipped: return actOnSkip();
                case BlockOutcome::Done: break;
            }
            if (!saving_) {
                if (previewRowSlots_ > kPreviewRowSlotLimit) return;
                continue;
            }
            writer_->writeTableData(table_.objectNumber(), rowList_);
            saving_->sink().setCurrentProgress(static_cast<int>((i + 1) * kFullProgress / blocks.size()));
        }
        // A table whose last block is followed by other entries of the index
        // counts one unit when the walk meets that next entry, and one more
        // when it ends.
        if (saving_ && !blocks.isLastIndexEntry(blocks.size() - 1)) saving_->countOverallUnit();
        finishTable();
    }

private:
    bool skipRequested() const { return saving_ && saving_->skipRequested.load(); }

    void finishTable() {
        if (!saving_) return;
        saving_->sink().setCurrentProgress(kFullProgress);
        saving_->countOverallUnit();
    }

    void actOnSkip() {
        saving_->skipRequested.store(false);
        finishTable();
        if (saving_->skipPause.count() > 0) std::this_thread::sleep_for(saving_->skipPause);
    }

    BlockOutcome processBlock(const BlockView& block) {
        const DataBlockLayout layout = parseDataBlockLayout(block);
        if (!saving_) previewRowSlots_ += layout.rowSlotCount;
        for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
            if (!control_.proceed()) return BlockOutcome::Stopped;
            if (skipRequested()) return BlockOutcome::Skipped;
            const RowSlot row = rowPieceOffset(block, layout, slot);
            if (row.state == SlotState::OutOfBlock) break;
            if (row.state != SlotState::Piece) continue;
            const RowPieceClass piece = rowPieceHeaderLength(block.u8(row.offset).value_or(0));
            if (piece.decoded) decodeTableRow(block, row.offset, piece.headerLength, table_, rowList_, columns_);
        }
        return BlockOutcome::Done;
    }

    Recovery& recovery_;
    const TableColumns& table_;
    RowList& rowList_;
    SavingState* saving_;
    JobControl& control_;
    std::optional<DataScriptWriter> writer_;
    std::vector<ColumnValue> columns_;
    long previewRowSlots_ = 0;
};

}  // namespace

TableColumns::TableColumns(const Catalog& catalog, const ObjectEntry& table) : objectNumber_(table.objectNumber) {
    typeByNumber_.fill(kNoColumn);
    const std::vector<const ColumnEntry*> columns = catalog.columnsOf(table.objNumber);
    hasColumns_ = !columns.empty();
    columnCount_ = static_cast<std::uint8_t>(columns.size());
    for (const ColumnEntry* column : columns) {
        // The first column with a number wins; later duplicates are ignored.
        const int number = column->number();
        if (number >= 0 && typeByNumber_[static_cast<std::size_t>(number)] == kNoColumn)
            typeByNumber_[static_cast<std::size_t>(number)] = column->typeCode;
    }
}

std::optional<std::uint8_t> TableColumns::typeOfStoredValue(int k) const {
    const int number = k + 1;  // column numbers start at 1
    if (number < 0 || number >= static_cast<int>(typeByNumber_.size())) return std::nullopt;
    const std::int16_t type = typeByNumber_[static_cast<std::size_t>(number)];
    if (type == kNoColumn) return std::nullopt;
    return static_cast<std::uint8_t>(type);
}

void decodeTableRow(const BlockView& block, int pieceOffset, int headerLength, const TableColumns& table,
                    RowList& rowList, std::vector<ColumnValue>& columns) {
    if (!table.hasColumns()) return;
    if (block.u8(pieceOffset) != kSinglePieceRow) return;
    const std::uint8_t storedCount = block.u8(pieceOffset + kStoredColumnCountOffset).value_or(0);
    if (storedCount == 0) return;
    const int firstColumn = pieceOffset + headerLength;
    if (block.u8(firstColumn).value_or(0) == 0) return;
    // A row whose columns run past the end of the block is dropped whole.
    if (!readColumns(block, firstColumn, storedCount, columns)) return;

    // A stored value without a catalog column takes the type of the last
    // column of the row that had one; before any, it stands as NULL.
    std::optional<std::uint8_t> lastType;
    for (int k = 0; k < storedCount; ++k) {
        const ColumnValue& column = columns[static_cast<std::size_t>(k)];
        if (column.isNull) {
            appendNull(rowList, table);
            continue;
        }
        if (const auto type = table.typeOfStoredValue(k)) lastType = type;
        if (!lastType) {
            appendNull(rowList, table);
            continue;
        }
        FormattedValue value = formatColumnValue(*lastType, column.bytes);
        rowList.push_back(RowValue{table.columnCount(), std::move(value.text), table.objectNumber(), value.kind});
    }
    // Trailing NULL columns are not stored.
    for (int k = storedCount; k < table.columnCount(); ++k) appendNull(rowList, table);
}

void readTableRows(Recovery& recovery, std::int32_t objectNumber, RowList& rowList, SavingState* saving) {
    const ObjectEntry* table = recovery.catalog.findObjectByNumber(objectNumber);
    // A table missing from the catalog yields no values, but its blocks are
    // still visited (by its object number) so that its script is created.
    const TableColumns columns = table ? TableColumns(recovery.catalog, *table) : TableColumns();
    const std::int32_t dataObjectNumber = table ? table->dataObjectNumber : objectNumber;
    TableRead(recovery, columns, rowList, saving).run(dataObjectNumber);
}

}  // namespace restorix
