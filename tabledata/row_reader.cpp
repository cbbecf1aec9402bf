#include "tabledata/row_reader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <utility>

#include "datafile/row_walk.h"
#include "datafile/segment_blocks.h"
#include "tabledata/data_script_writer.h"
#include "tabledata/value_format.h"
#include "tabledata/national_text.h"

namespace restorix {

namespace {

using Bytes = std::span<const std::uint8_t>;

// A live row held in one piece: Head, First and Last set, nothing else.
constexpr int kStoredColumnCountOffset = 2;
constexpr int kFullProgress = 100;
constexpr std::string_view kNullText = "NULL";
// Saving reads and decodes this many blocks of a table at a time.
constexpr std::size_t kSavingBatch = 64;
// Threads that turn blocks into statements, the reading thread included.
constexpr std::size_t kMaxWorkers = 4;

void appendNull(RowList& rowList, const TableColumns& table) {
    rowList.push_back(RowValue{table.columnCount(), std::string(kNullText), table.objectNumber(), ValueKind::Null});
}

enum class BlockOutcome { Done, Stopped, Skipped };

// Where a read looks, at every row piece, for Stop, Pause and Skip Table.
struct StopPoints {
    JobControl& control;
    const std::atomic<bool>* skipRequested = nullptr;  // saving mode only
};

// Calls onValue(kind, bytes) once for every declared column, in column
// order, with the value the row stores for it (a NULL value, or a column the
// row stores nothing for, with no kind). Returns whether the row stores
// values beyond every place the catalog knows.
template <typename OnValue>
bool forEachStoredValue(std::span<const ColumnValue> columns, const TableColumns& table, const OnValue& onValue) {
    const int storedCount = static_cast<int>(columns.size());
    for (int slot = 0; slot < table.columnCount(); ++slot) {
        const int k = table.storedIndexOfSlot(slot);
        const bool stored = k >= 0 && k < storedCount && !columns[static_cast<std::size_t>(k)].isNull;
        if (stored) onValue(table.kindOfStoredValue(k), columns[static_cast<std::size_t>(k)].bytes);
        else onValue(std::nullopt, Bytes{});
    }
    return storedCount > table.storedValuesKnown();
}

// Whether a row's stored columns make a row of the table: a row storing no
// column, or whose first column is stored empty, gives no values.
bool givesValues(std::span<const ColumnValue> columns, const TableColumns& table) {
    if (!table.hasColumns() || columns.empty()) return false;
    return columns.front().isNull || !columns.front().bytes.empty();
}

// The values of one stored row, counted: a row of a table whose columns
// cannot be read gives none and is not recovered. Returns whether the row
// was written.
template <typename OnValue>
bool forEachRowValue(std::span<const ColumnValue> columns, const TableColumns& table, RowCounts& counts,
                     const OnValue& onValue) {
    if (!givesValues(columns, table)) return false;
    if (table.columnsUnreadable() > 0) {
        ++counts.rowsInTableNotCreated;
        return false;
    }
    if (forEachStoredValue(columns, table, onValue)) ++counts.rowsWithExtraValues;
    ++counts.rowsWritten;
    return true;
}

// The stored columns of the single-piece row at block offset `pieceOffset`,
// read into `columns` (scratch space reused from row to row): only a live
// one (flag 0x2C) is a row; one whose columns run past the end of the block
// is dropped whole.
bool readSinglePieceRow(const BlockView& block, int pieceOffset, int headerLength, std::vector<ColumnValue>& columns) {
    if (block.u8(pieceOffset) != kWholeRowFlag) return false;
    const std::uint8_t storedCount = block.u8(pieceOffset + kStoredColumnCountOffset).value_or(0);
    return readColumns(block, pieceOffset + headerLength, storedCount, columns);
}

// The values of the row a walk visited, whole or followed through its
// pieces; a row whose pieces could not be followed is counted, not read.
template <typename OnValue>
void forEachVisitedRowValue(const BlockView& block, const RowPiece& piece, const TableColumns& table,
                            std::vector<ColumnValue>& columns, RowCounts& counts, const OnValue& onValue) {
    switch (piece.chain) {
        case RowChain::Single:
            if (readSinglePieceRow(block, piece.offset, piece.form.headerLength, columns))
                forEachRowValue(columns, table, counts, onValue);
            return;
        case RowChain::Broken:
            if (table.hasColumns()) ++counts.brokenChains;
            return;
        case RowChain::Joined:
            if (forEachRowValue(piece.joined, table, counts, onValue) && piece.throughHeadAndNextPiece)
                ++counts.migratedChainedRows;
            return;
    }
}

// A block of a table and the datafile it was read from, where its chained
// rows start.
struct TableBlock {
    BlockView view;
    std::uint16_t file = 0;
};

// Calls onRow(piece) for every row piece of one block that may hold a row,
// checking for Stop, Pause and Skip Table before each: live rows, followed
// through their pieces. A directory that runs past the block ends the
// block's rows; a block with no consistent data header is counted, not read.
template <typename OnRow>
BlockOutcome forEachRowPiece(const TableBlock& block, RowChains& chains, const StopPoints& stops, RowCounts& counts,
                             const OnRow& onRow) {
    const std::optional<int> dataHeader = tableDataHeaderOffsetOf(block.view);
    if (!dataHeader) {
        ++counts.blocksNotRead;
        return BlockOutcome::Done;
    }
    RowWalkRules rules;
    rules.dataHeaderOffset = dataHeader;
    rules.chains = &chains;
    rules.file = block.file;
    for (const RowPiece& piece : rowPieces(block.view, rules)) {
        if (!stops.control.proceed()) return BlockOutcome::Stopped;
        if (stops.skipRequested && stops.skipRequested->load()) return BlockOutcome::Skipped;
        onRow(piece);
    }
    return BlockOutcome::Done;
}

// Formats one value into rowList, counting what does not decode.
void appendValue(std::optional<ColumnKind> kind, Bytes bytes, const TableColumns& table, RowList& rowList,
                 RowCounts& counts) {
    if (!kind) return appendNull(rowList, table);
    FormattedValue value = formatColumnValue(*kind, bytes, table.national());
    if (isUndecodable(value.kind, value.text)) ++counts.undecodableValues;
    rowList.push_back(RowValue{table.columnCount(), std::move(value.text), table.objectNumber(), value.kind});
}

// Decodes every row of one block into rowList.
BlockOutcome decodeBlock(const TableBlock& block, const TableColumns& table, const StopPoints& stops,
                         RowList& rowList, std::vector<ColumnValue>& columns, RowChains& chains, RowCounts& counts) {
    return forEachRowPiece(block, chains, stops, counts, [&](const RowPiece& piece) {
        forEachVisitedRowValue(block.view, piece, table, columns, counts,
                               [&](std::optional<ColumnKind> kind, Bytes bytes) {
                                   appendValue(kind, bytes, table, rowList, counts);
                               });
    });
}

// The size of a cache line. The threads change their own texts' lengths at
// every value: texts of two threads sharing a line would bounce it between
// the cores.
constexpr std::size_t kCacheLine = 64;

// What one thread needs to turn blocks into statements.
struct alignas(kCacheLine) BlockWorker {
    BlockWorker(std::string_view qualifiedTable, const BlockSource& source)
        : chains(source), statements(qualifiedTable) {}
    std::vector<ColumnValue> columns;
    RowChains chains;
    DataStatementBuilder statements;
};

struct alignas(kCacheLine) BlockStatements {
    BlockOutcome outcome = BlockOutcome::Done;
    std::string bytes;  // in the code page
    RowCounts counts;   // of the rows in bytes
};

// Threads that stay for a whole table read and build, together with the
// thread that hands them the work, the blocks of one batch after another.
// Blocks are claimed one at a time, so a thread that is held up (the reading
// thread while it writes) simply claims fewer of them.
class BuildCrew {
public:
    // build(block, worker): block is an index into the current batch, worker
    // an index into the workers (0 for the reading thread).
    using BuildBlock = std::function<void(std::size_t, std::size_t)>;

    BuildCrew(std::size_t helperCount, BuildBlock build) : build_(std::move(build)) {
        for (std::size_t w = 1; w <= helperCount; ++w) helpers_.emplace_back([this, w] { helpLoop(w); });
    }

    // Abandons the blocks nobody claimed yet and waits for the helpers.
    ~BuildCrew() {
        {
            std::lock_guard lock(mutex_);
            leaving_ = true;
        }
        workArrived_.notify_all();
    }
    BuildCrew(const BuildCrew&) = delete;
    BuildCrew& operator=(const BuildCrew&) = delete;

    // Hands out blocks 0 to blockCount - 1 of a new batch.
    void start(std::size_t blockCount) {
        {
            std::lock_guard lock(mutex_);
            blockCount_ = blockCount;
            claimed_ = 0;
            built_ = 0;
        }
        workArrived_.notify_all();
    }

    // Builds blocks alongside the helpers until every block of the batch is
    // built; rethrows what a build threw, after which the rest of the batch
    // is abandoned.
    void finish() {
        std::unique_lock lock(mutex_);
        while (std::optional<std::size_t> block = claim()) buildUnlocked(lock, *block, 0);
        allBuilt_.wait(lock, [this] { return built_ == claimed_; });
        if (std::exception_ptr error = std::exchange(error_, nullptr)) std::rethrow_exception(error);
    }

private:
    std::optional<std::size_t> claim() {
        if (error_ || claimed_ >= blockCount_) return std::nullopt;
        return claimed_++;
    }

    void buildUnlocked(std::unique_lock<std::mutex>& lock, std::size_t block, std::size_t worker) {
        lock.unlock();
        std::exception_ptr error;
        try {
            build_(block, worker);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        if (error && !error_) error_ = error;
        if (++built_ == claimed_) allBuilt_.notify_all();
    }

    void helpLoop(std::size_t worker) {
        std::unique_lock lock(mutex_);
        for (;;) {
            workArrived_.wait(lock, [this] { return leaving_ || (!error_ && claimed_ < blockCount_); });
            if (leaving_) return;
            if (const std::optional<std::size_t> block = claim()) buildUnlocked(lock, *block, worker);
        }
    }

    BuildBlock build_;
    std::mutex mutex_;
    std::condition_variable workArrived_;
    std::condition_variable allBuilt_;
    std::size_t blockCount_ = 0;
    std::size_t claimed_ = 0;
    std::size_t built_ = 0;
    bool leaving_ = false;
    std::exception_ptr error_;
    std::vector<std::jthread> helpers_;  // last: joined before the rest goes
};

int percentOf(std::size_t done, std::size_t total) { return static_cast<int>(done * kFullProgress / total); }

// One read of one table, in either mode.
class TableRead {
public:
    TableRead(const Database& database, const TableColumns& table, RowList& rowList, JobControl& control,
              SavingState* saving)
        : database_(database), table_(table), rowList_(rowList), saving_(saving),
          stops_{control, saving ? &saving->skipRequested : nullptr} {
        if (saving_) writer_.emplace(*saving_);
        const std::string_view qualifiedTable = saving_ ? std::string_view(saving_->qualifiedTable) : std::string_view();
        // Asked once: the system answers it by reading a file.
        const std::size_t workers = workerCount();
        for (std::size_t w = 0; w < workers; ++w) workers_.emplace_back(qualifiedTable, database.blockSource);
    }

    const RowCounts& counts() const { return counts_; }

    void run(std::int32_t dataObjectNumber) {
        const SegmentBlocks blocks(database_.blockIndex, dataObjectNumber);
        if (blocks.size() == 0) return finishTable();
        if (!saving_) return readPreview(blocks);
        const bool saved = saveInBatches(blocks);
        // Closed, and its close checked, before the table counts as written.
        writer_->close();
        if (!saved) return;
        // A table whose last block is followed by other entries of the index
        // counts one unit when the walk meets that next entry, and one more
        // when it ends.
        if (!blocks.isLastIndexEntry(blocks.size() - 1)) saving_->countOverallUnit();
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

    // Whether the read may go on to the next block; acts on Skip Table.
    bool mayContinue(BlockOutcome outcome = BlockOutcome::Done) {
        if (outcome == BlockOutcome::Stopped || !stops_.control.proceed()) return false;
        if (outcome == BlockOutcome::Skipped || skipRequested()) {
            actOnSkip();
            return false;
        }
        return true;
    }

    BlockOutcome decode(const TableBlock& block, RowList& rows) {
        return decodeBlock(block, table_, stops_, rows, workers_[0].columns, workers_[0].chains, counts_);
    }

    // Turns one block's rows straight into statements in the code page.
    // Text values keep their stored code-page bytes: nothing is converted on
    // the way.
    BlockOutcome buildBlockStatements(const TableBlock& block, BlockWorker& worker, std::string& out,
                                      RowCounts& counts) {
        DataStatementBuilder& builder = worker.statements;
        const std::size_t tooLongBefore = builder.valuesTooLong();
        builder.start(out);
        const std::uint8_t columnCount = table_.columnCount();
        const auto onValue = [&](std::optional<ColumnKind> kind, Bytes bytes) {
            if (!kind) return builder.addCodePageText(ValueKind::Null, kNullText, columnCount);
            if (builder.addStored(*kind, bytes, table_.national(), columnCount)) ++counts.undecodableValues;
        };
        const BlockOutcome outcome = forEachRowPiece(block, worker.chains, stops_, counts, [&](const RowPiece& piece) {
            forEachVisitedRowValue(block.view, piece, table_, worker.columns, counts, onValue);
        });
        builder.finish();
        counts.valuesTooLong += static_cast<long>(builder.valuesTooLong() - tooLongBefore);
        return outcome;
    }

    // Preview: the first blocks, until more than the limit of row slots were seen.
    void readPreview(const SegmentBlocks& blocks) {
        BlockBatch reader(database_.blockSource, blocks);
        long rowSlots = 0;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (!stops_.control.proceed()) return;
            reader.load(i, 1);
            if (reader.unreadable(i)) {
                ++counts_.unreadableBlocks;
                continue;
            }
            const TableBlock block{reader.loaded(i), blocks.entry(i).file};
            if (const std::optional<int> dataHeader = tableDataHeaderOffsetOf(block.view))
                rowSlots += parseDataBlockLayout(block.view, *dataHeader).rowSlotCount;
            if (decode(block, rowList_) != BlockOutcome::Done) return;
            if (rowSlots > kPreviewRowSlotLimit) return;
        }
    }

    // A batch of blocks in its own buffer, with the statements of each block.
    struct Batch {
        Batch(const BlockSource& source, const SegmentBlocks& table) : segment(table), blocks(source, table) {}
        const SegmentBlocks& segment;
        BlockBatch blocks;
        std::vector<BlockStatements> statements = std::vector<BlockStatements>(kSavingBatch);
        std::size_t first = 0;
        std::size_t count = 0;
    };

    // Saving, a batch of blocks at a time: while one batch is written, in
    // block order and each block with one write call, the helper threads turn
    // the next one into statements, and this thread then reads the one after
    // it before joining them. A batch's blocks are read before its building
    // starts, so the helpers never wait for a read.
    bool saveInBatches(const SegmentBlocks& blocks) {
        if (!mayContinue()) return false;
        // The script exists before the first block is read; one that cannot
        // be opened ends the read here, raising the system's reason.
        if (!writer_->writeStatements({})) return false;
        std::array<Batch, 3> batches{Batch(database_.blockSource, blocks), Batch(database_.blockSource, blocks),
                                     Batch(database_.blockSource, blocks)};
        Batch* building = &batches[0];
        // Declared after the batches: leaving early waits for the helpers
        // before the batches go. A table of one block needs no helper.
        const std::size_t helpers = std::min(workers_.size(), blocks.size()) - 1;
        BuildCrew crew(helpers, [this, &building](std::size_t block, std::size_t worker) {
            buildBlock(*building, block, workers_[worker]);
        });
        const auto load = [&](Batch& batch, std::size_t first) {
            batch.first = first;
            batch.count = batch.blocks.load(first, kSavingBatch);
        };
        const auto startBuilding = [&](Batch& batch) {
            building = &batch;
            for (BlockStatements& block : batch.statements) block.outcome = BlockOutcome::Stopped;
            crew.start(batch.count);
        };
        const auto endOf = [](const Batch& batch) { return batch.first + batch.count; };
        load(batches[0], 0);
        startBuilding(batches[0]);
        if (endOf(batches[0]) < blocks.size()) load(batches[1], endOf(batches[0]));
        for (std::size_t k = 0;; k = (k + 1) % batches.size()) {
            crew.finish();
            const Batch& ready = batches[k];
            Batch& next = batches[(k + 1) % batches.size()];
            const bool more = endOf(ready) < blocks.size();
            if (more) startBuilding(next);
            if (!writeBatch(ready, blocks.size())) return false;
            if (!more) return true;
            if (!mayContinue()) return false;
            // The batch written before `ready` is free again.
            if (endOf(next) < blocks.size()) load(batches[(k + 2) % batches.size()], endOf(next));
        }
    }

    void buildBlock(Batch& batch, std::size_t block, BlockWorker& worker) {
        BlockStatements& result = batch.statements[block];
        result.bytes.clear();
        result.counts = {};
        const std::size_t i = batch.first + block;
        if (batch.blocks.unreadable(i)) {
            // Named and recorded with its file by the read; the next blocks are read as usual.
            result.outcome = BlockOutcome::Done;
            ++result.counts.unreadableBlocks;
            return;
        }
        result.outcome = buildBlockStatements(TableBlock{batch.blocks.loaded(i), batch.segment.entry(i).file}, worker,
                                              result.bytes, result.counts);
    }

    // Writes a built batch block by block; false when a block was cut short
    // by Stop or Skip Table, which writes nothing more.
    bool writeBatch(const Batch& batch, std::size_t totalBlocks) {
        for (std::size_t j = 0; j < batch.count; ++j) {
            if (!mayContinue(batch.statements[j].outcome)) return false;
            writer_->writeStatements(batch.statements[j].bytes);
            counts_ += batch.statements[j].counts;
            saving_->sink().setCurrentProgress(percentOf(batch.first + j + 1, totalBlocks));
        }
        return true;
    }

    static std::size_t workerCount() { return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, kMaxWorkers); }

    const Database& database_;
    const TableColumns& table_;
    RowList& rowList_;
    SavingState* saving_;
    StopPoints stops_;
    std::optional<DataScriptWriter> writer_;
    std::vector<BlockWorker> workers_;
    RowCounts counts_;  // of the blocks written (saving) or read (preview)
};

}  // namespace

TableColumns::TableColumns(const Catalog& catalog, const ObjectEntry& table, NationalCharset national)
    : objectNumber_(table.objectNumber), national_(national) {
    const std::vector<const ColumnEntry*> columns = catalog.columnsOf(table.objNumber);
    columnsUnreadable_ = static_cast<int>(catalog.unreadableColumnsOf(table.objNumber).size());
    hasColumns_ = !columns.empty() || columnsUnreadable_ > 0;
    columnCount_ = static_cast<std::uint8_t>(columns.size());
    mapStoredValues(columns, catalog.hiddenColumnsOf(table.objNumber));
}

void TableColumns::mapStoredValues(const std::vector<const ColumnEntry*>& columns,
                                   const std::vector<const ColumnEntry*>& hidden) {
    kindByStoredIndex_.fill(kNoColumn);
    storedIndexOfSlot_.fill(kNoColumn);
    const auto namesPlace = [](const ColumnEntry* column) { return column->segmentColumn != 0; };
    const bool catalogNamesPlaces =
        std::any_of(columns.begin(), columns.end(), namesPlace) || std::any_of(hidden.begin(), hidden.end(), namesPlace);
    std::vector<const ColumnEntry*> declared(columns.begin(), columns.end());
    std::stable_sort(declared.begin(), declared.end(),
                     [](const ColumnEntry* a, const ColumnEntry* b) { return a->columnNumber < b->columnNumber; });
    const std::size_t slots = std::min(declared.size(), storedIndexOfSlot_.size());
    for (std::size_t slot = 0; slot < slots; ++slot) {
        const ColumnEntry& column = *declared[slot];
        const int k = (catalogNamesPlaces ? column.segmentColumn : column.columnNumber) - 1;
        if (k < 0 || k >= static_cast<int>(kindByStoredIndex_.size())) continue;
        if (kindByStoredIndex_[static_cast<std::size_t>(k)] != kNoColumn) continue;  // the first column wins
        kindByStoredIndex_[static_cast<std::size_t>(k)] = static_cast<std::int16_t>(columnKind(column));
        storedIndexOfSlot_[slot] = static_cast<std::int16_t>(k);
        storedValuesKnown_ = std::max(storedValuesKnown_, k + 1);
    }
    for (const ColumnEntry* column : hidden) storedValuesKnown_ = std::max(storedValuesKnown_, column->segmentColumn);
}

namespace {

RowCounts readRows(const Database& database, const Catalog& catalog, std::int32_t objectNumber, RowList& rowList,
                   JobControl& control, SavingState* saving) {
    const ObjectEntry* table = catalog.findObjectByNumber(objectNumber);
    // A table missing from the catalog yields no values, but its blocks are
    // still visited (by its object number) so that its script is created.
    const NationalCharset national = nationalCharsetNamed(database.release.ncharCharacterSet);
    const TableColumns columns = table ? TableColumns(catalog, *table, national) : TableColumns();
    const std::int32_t dataObjectNumber = table ? table->dataObjectNumber : objectNumber;
    TableRead read(database, columns, rowList, control, saving);
    read.run(dataObjectNumber);
    RowCounts counts = read.counts();
    counts.columnsUnreadable = columns.columnsUnreadable();
    return counts;
}

}  // namespace

RowCounts readTableRows(const Database& database, const Catalog& catalog, std::int32_t objectNumber,
                        RowList& rowList, JobControl& previewControl) {
    return readRows(database, catalog, objectNumber, rowList, previewControl, nullptr);
}

RowCounts readTableRows(const Database& database, const Catalog& catalog, std::int32_t objectNumber,
                        RowList& rowList, SavingState& saving) {
    return readRows(database, catalog, objectNumber, rowList, saving.control, &saving);
}

}  // namespace restorix
