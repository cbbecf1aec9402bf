#include "tools/forge/multifile.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>

#include "tools/forge/datafile_writer.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/forge_plan.h"
#include "tools/forge/oracle_values.h"
#include "tools/forge/segment.h"
#include "tools/forge/table_rows.h"

namespace restorix::forge {

namespace {

// Blocks of a locally managed file before its first extent: the file space
// header, then the bitmap of its extents.
constexpr std::uint8_t kFileSpaceHeaderType = 0x1D;
constexpr std::uint8_t kFileSpaceBitmapType = 0x1E;
constexpr int kFileSpaceBitmapBlocks = 5;
constexpr std::int64_t kFirstExtentBlock = 2 + 1 + kFileSpaceBitmapBlocks;

// Blocks of an ASSM segment before its data blocks: a first-level bitmap
// ahead of every extent, the second-level bitmap and the segment header
// ahead of the first.
constexpr std::uint8_t kFirstLevelBitmapType = 0x20;
constexpr std::uint8_t kSecondLevelBitmapType = 0x21;
constexpr std::uint8_t kAssmSegmentHeaderType = 0x23;
const std::vector<std::uint8_t> kFirstExtentHeader{kFirstLevelBitmapType, kSecondLevelBitmapType, kAssmSegmentHeaderType};
const std::vector<std::uint8_t> kLaterExtentHeader{kFirstLevelBitmapType};

const char* const kSystemFile = "SYSTEM01.DBF";
constexpr std::uint32_t kSystemRelativeFile = 1;  // FileHeader's default

struct FileShape {
    std::string name;
    std::uint32_t relativeFile;
    int blockSize;
    std::string tablespace;
};

BlockFormat assmFormat(int blockSize) { return {blockSize, true, true}; }

std::string pathIn(const std::string& folder, const std::string& name) {
    return (std::filesystem::path(folder) / name).string();
}

// Writes the blocks before the first extent.
void writeSpaceHeader(DatafileWriter& writer) {
    writer.writeNonDataBlock(kFileSpaceHeaderType);
    for (int i = 0; i < kFileSpaceBitmapBlocks; ++i) writer.writeNonDataBlock(kFileSpaceBitmapType);
}

// Leaves a hole up to `firstBlock`, then writes an extent's header blocks.
void startExtent(DatafileWriter& writer, std::int64_t firstBlock, const std::vector<std::uint8_t>& headerTypes) {
    writer.skipBlocks(firstBlock - writer.nextBlockNumber());
    for (const std::uint8_t type : headerTypes) writer.writeNonDataBlock(type);
}

ForgedDatafile closeFile(DatafileWriter& writer, const std::string& path, const FileShape& shape) {
    const std::int64_t blocks = writer.nextBlockNumber();
    writer.close();
    return {path, shape.relativeFile, shape.blockSize, blocks};
}

// Writes SYSTEM01.DBF with the dictionary, every table in `elsewhere` left
// to the other files.
ForgedDatafile writeSystemFile(const Scenario& scenario, const std::string& folder, WriteOptions options,
                               std::set<std::int32_t> elsewhere) {
    options.databaseId = kForgedDatabaseId;
    options.segmentsElsewhere = std::move(elsewhere);
    const std::string path = pathIn(folder, kSystemFile);
    const WriteSummary summary = writeDatafile(scenario, path, options);
    return {path, kSystemRelativeFile, kBlockSize, summary.blockCount};
}

// ---- the three-file scenario ----

const FileShape kUsersFile{"USERS01.DBF", 4, 8192, "USERS"};
const FileShape kDataFile{"DATA01.DBF", 5, 16384, "DATA"};
const std::vector<FileShape> kScenarioFiles{kUsersFile, kDataFile};

// From row `firstRow` on, the table's rows go into a new block in file `file`.
struct BlockBreak {
    std::size_t firstRow;
    std::size_t file;  // in kScenarioFiles
};

struct TablePlacement {
    std::string table;
    std::vector<BlockBreak> breaks;  // the first at row 0
};

const std::vector<TablePlacement> kPlacements{
    {"CUSTOMERS", {{0, 0}}},
    {"PRODUCTS", {{0, 1}}},
    // The 7th row is chained: its head ends the second USERS01 block, the
    // rest opens the first DATA01 block.
    {"ORDERS", {{0, 0}, {3, 0}, {7, 1}, {10, 1}}},
};

struct PlacedSegment {
    Segment segment;
    std::vector<std::size_t> fileOfBlock;
    std::vector<std::int64_t> blockNumber;  // in its file
};

PlacedSegment placedSegment(const PlannedTable& table, const std::vector<BlockBreak>& breaks) {
    PlacedSegment placed{Segment(table.dataObjectNumber, 1), {}, {}};
    HeapFiller filler(placed.segment);
    auto nextBreak = breaks.begin();
    std::size_t file = breaks.front().file;
    for (std::size_t row = 0; row < table.def->rows.size(); ++row) {
        if (nextBreak != breaks.end() && nextBreak->firstRow == row) {
            placed.fileOfBlock.resize(static_cast<std::size_t>(placed.segment.blockCount()), file);
            file = nextBreak->file;
            placed.segment.setFormat(assmFormat(kScenarioFiles[file].blockSize));
            filler.breakBlock();
            ++nextBreak;
        }
        addTableRow(filler, encodeRow(*table.def, table.def->rows[row], row), table.def->rows[row].storage);
    }
    filler.finish();
    placed.fileOfBlock.resize(static_cast<std::size_t>(placed.segment.blockCount()), file);
    return placed;
}

// Gives every block its number in its file: segment after segment, each run
// of a segment's blocks in one file behind its extent header.
struct Extent {
    std::size_t segment;
    int firstBlock;  // in the segment
    int blocks;
    std::int64_t fileBlock;  // of the extent header's first block
    const std::vector<std::uint8_t>* header;
};

std::vector<std::vector<Extent>> layOutExtents(std::vector<PlacedSegment>& segments) {
    std::vector<std::vector<Extent>> extents(kScenarioFiles.size());
    std::vector<std::int64_t> next(kScenarioFiles.size(), kFirstExtentBlock);
    for (std::size_t s = 0; s < segments.size(); ++s) {
        PlacedSegment& placed = segments[s];
        std::vector<bool> segmentSeen(kScenarioFiles.size(), false);
        for (int b = 0; b < placed.segment.blockCount();) {
            const std::size_t file = placed.fileOfBlock[static_cast<std::size_t>(b)];
            int end = b;
            while (end < placed.segment.blockCount() && placed.fileOfBlock[static_cast<std::size_t>(end)] == file) ++end;
            const auto* header = b == 0 ? &kFirstExtentHeader : &kLaterExtentHeader;
            extents[file].push_back({s, b, end - b, next[file], header});
            next[file] += static_cast<std::int64_t>(header->size());
            for (; b < end; ++b) placed.blockNumber.push_back(next[file]++);
        }
    }
    return extents;
}

}  // namespace

Scenario multifileScenario() {
    Scenario s = builtinScenario();
    SchemaDef& shop = s.user("SHOP", 70);
    shop.table("CUSTOMERS")
        .column("ID", "NUMBER(6)", true)
        .column("NAME", "VARCHAR2(40)")
        .column("CITY", "VARCHAR2(30)")
        .column("SINCE", "DATE")
        .row({"1", "Ada Lovelace", "London", "2001-03-14"})
        .row({"2", "Blaise Pascal", "Clermont", "2002-06-19"})
        .row({"3", "Carl Gauss", std::nullopt, "2003-04-30"})
        .row({"4", "Dora Maar", "Paris", "2004-11-22"})
        .row({"5", "Emmy Noether", "Erlangen", std::nullopt});
    shop.table("PRODUCTS")
        .column("ID", "NUMBER(6)", true)
        .column("NAME", "VARCHAR2(40)")
        .column("PRICE", "NUMBER(8,2)")
        .column("ADDED", "DATE")
        .row({"100", "Slide rule", "19.99", "2005-01-10"})
        .row({"101", "Abacus", "7.5", "2005-02-11"})
        .row({"102", "Compass", "3.25", "2006-03-12"})
        .row({"103", "Logarithm tables", "12", "2006-04-13"})
        .row({"104", "Protractor", std::nullopt, "2007-05-14"})
        .row({"105", "Planimeter", "240.8", "2007-06-15"});
    TableDef& orders = shop.table("ORDERS");
    orders.column("ID", "NUMBER(8)", true)
        .column("CUSTOMER_ID", "NUMBER(6)")
        .column("PRODUCT_ID", "NUMBER(6)")
        .column("ORDERED", "DATE")
        .column("STATUS", "VARCHAR2(10)")
        .column("NOTE", "VARCHAR2(200)");
    static const char* const kStatus[] = {"NEW", "PAID", "SHIPPED"};
    for (int i = 1; i <= 12; ++i) {
        const auto day = std::to_string(10 + i);
        orders.row({std::to_string(5000 + i), std::to_string(1 + i % 5), std::to_string(100 + i % 6), "2008-07-" + day,
                    kStatus[i % 3], i % 4 == 0 ? Value() : Value("order " + std::to_string(i) + " of the shop")},
                   i == 7 ? RowStorage::Chained : RowStorage::Normal);
    }
    shop.primaryKey("CUSTOMERS_PK", "CUSTOMERS", {"ID"});
    shop.primaryKey("PRODUCTS_PK", "PRODUCTS", {"ID"});
    shop.primaryKey("ORDERS_PK", "ORDERS", {"ID"});
    return s;
}

DatabaseSummary writeMultifileDatabase(const std::string& folder, const WriteOptions& options) {
    const Scenario scenario = multifileScenario();
    const ForgePlan plan = planScenario(scenario);
    std::vector<PlacedSegment> segments;
    std::set<std::int32_t> elsewhere;
    for (const TablePlacement& placement : kPlacements) {
        const PlannedTable* table = plan.findTable("SHOP", placement.table);
        if (!table) throw std::logic_error("SHOP." + placement.table + " is not in the scenario");
        segments.push_back(placedSegment(*table, placement.breaks));
        elsewhere.insert(table->dataObjectNumber);
    }
    const std::vector<std::vector<Extent>> extents = layOutExtents(segments);

    DatabaseSummary summary;
    summary.files.push_back(writeSystemFile(scenario, folder, options, elsewhere));
    for (const PlacedSegment& placed : segments) {
        auto& addresses = summary.tableBlocks[placed.segment.dataObject()];
        for (int b = 0; b < placed.segment.blockCount(); ++b)
            addresses.push_back(blockAddress(kScenarioFiles[placed.fileOfBlock[static_cast<std::size_t>(b)]].relativeFile,
                                             placed.blockNumber[static_cast<std::size_t>(b)]));
    }
    for (std::size_t f = 0; f < kScenarioFiles.size(); ++f) {
        const FileShape& shape = kScenarioFiles[f];
        const std::string path = pathIn(folder, shape.name);
        DatafileWriter writer(path, FileHeader::ofDatabase(kForgedDatabaseId, shape.relativeFile, shape.blockSize, shape.tablespace));
        writeSpaceHeader(writer);
        for (const Extent& extent : extents[f]) {
            startExtent(writer, extent.fileBlock, *extent.header);
            const PlacedSegment& placed = segments[extent.segment];
            const auto& addresses = summary.tableBlocks[placed.segment.dataObject()];
            auto addressOf = [&](int block) { return addresses[static_cast<std::size_t>(block)]; };
            for (int b = extent.firstBlock; b < extent.firstBlock + extent.blocks; ++b)
                writer.writeBlock(placed.segment.build(b, addressOf));
        }
        summary.files.push_back(closeFile(writer, path, shape));
    }
    return summary;
}

// ---- the sparse set ----

namespace {

constexpr int kSparseExtents = 3;
constexpr int kSparseExtentBlocks = 4;
constexpr int kSparseUser = 71;
constexpr std::int32_t kSparseFirstObject = 100001;
constexpr std::uint32_t kSparseFirstRelativeFile = 5;
constexpr int kSparseMinFiles = 2;

std::string sparseTableName(int index) {
    std::string digits = std::to_string(index + 1);
    return "T" + std::string(digits.size() < 5 ? 5 - digits.size() : 0, '0') + digits;
}

// The block at `position` in every table: its own rows, IDs counting on
// from the blocks before it.
Bytes sparseBlock(std::int64_t position, int rowsPerBlock, int blockSize) {
    DataBlockBuilder builder(0, 0, 2 + static_cast<int>(position % 2), 1, assmFormat(blockSize));
    for (int r = 0; r < rowsPerBlock; ++r) {
        const long long id = position * rowsPerBlock + r + 1;
        const Bytes row = makeRow({numberColumn(id), textColumn("ROW " + std::to_string(id)),
                                   encodeDate(static_cast<int>(2000 + id % 20), static_cast<int>(1 + id % 12),
                                              static_cast<int>(1 + id % 28))});
        if (!builder.addRow(row))
            throw std::invalid_argument(std::to_string(rowsPerBlock) + " sparse rows do not fit a block of " +
                                        std::to_string(blockSize));
    }
    return builder.buildBytes();
}

Scenario sparseScenario(int tableCount) {
    Scenario s = builtinScenario();
    SchemaDef& schema = s.user("SPARSE", kSparseUser);
    for (int t = 0; t < tableCount; ++t)
        schema.table(sparseTableName(t), kSparseFirstObject + t)
            .column("ID", "NUMBER(8)", true)
            .column("NAME", "VARCHAR2(30)")
            .column("CREATED", "DATE");
    return s;
}

}  // namespace

DatabaseSummary writeSparseDatabase(const std::string& folder, const SparseDatabaseOptions& options) {
    checkBlockSize(options.blockSize);
    if (options.tableCount <= 0) throw std::invalid_argument("a sparse set needs at least one table");
    if (options.rowsPerBlock <= 0) throw std::invalid_argument("a sparse set needs rows in its blocks");
    const auto blockSize = static_cast<std::uint64_t>(options.blockSize);
    const std::uint64_t maxFileBytes = static_cast<std::uint64_t>(kMaxBlocksPerFile) * blockSize;
    const auto fileCount = std::max<std::uint64_t>(kSparseMinFiles, (options.totalSize + maxFileBytes - 1) / maxFileBytes);
    const auto fileBlocks = static_cast<std::int64_t>(options.totalSize / fileCount / blockSize);
    const std::int64_t extents = static_cast<std::int64_t>(options.tableCount) * kSparseExtents;
    const std::int64_t slotsPerFile = (extents + static_cast<std::int64_t>(fileCount) - 1) / static_cast<std::int64_t>(fileCount);
    const std::int64_t slotBlocks = (fileBlocks - kFirstExtentBlock) / slotsPerFile;
    if (slotBlocks < kSparseExtentBlocks + static_cast<std::int64_t>(kFirstExtentHeader.size()))
        throw std::invalid_argument(std::to_string(options.totalSize) + " bytes leave no room for " +
                                    std::to_string(options.tableCount) + " tables");

    const Scenario scenario = sparseScenario(options.tableCount);
    std::set<std::int32_t> elsewhere;
    for (int t = 0; t < options.tableCount; ++t) elsewhere.insert(kSparseFirstObject + t);
    auto extentHeader = [](int extent) -> const std::vector<std::uint8_t>& {
        return extent == 0 ? kFirstExtentHeader : kLaterExtentHeader;
    };
    // A filled extent takes its whole slot.
    auto extentBlocks = [&](int extent) {
        return options.filled ? slotBlocks - static_cast<std::int64_t>(extentHeader(extent).size()) : kSparseExtentBlocks;
    };
    std::vector<std::int64_t> firstPosition{0};
    for (int e = 0; e < kSparseExtents; ++e) firstPosition.push_back(firstPosition.back() + extentBlocks(e));
    DatabaseSummary summary;
    summary.rowsPerTable = firstPosition.back() * options.rowsPerBlock;
    WriteOptions systemOptions;
    systemOptions.release = options.release;
    systemOptions.fileSize = options.systemSize;
    summary.files.push_back(writeSystemFile(scenario, folder, systemOptions, elsewhere));

    // Every table holds the same rows: a sparse set's few blocks are built once.
    std::vector<Bytes> templates;
    if (!options.filled)
        for (std::int64_t position = 0; position < firstPosition.back(); ++position)
            templates.push_back(sparseBlock(position, options.rowsPerBlock, options.blockSize));
    for (std::uint64_t f = 0; f < fileCount; ++f) {
        const std::string name = "DATA" + std::string(f + 1 < 10 ? "00" : f + 1 < 100 ? "0" : "") + std::to_string(f + 1) + ".DBF";
        const FileShape shape{name, kSparseFirstRelativeFile + static_cast<std::uint32_t>(f), options.blockSize, "BENCH"};
        const std::string path = pathIn(folder, shape.name);
        DatafileWriter writer(path, FileHeader::ofDatabase(kForgedDatabaseId, shape.relativeFile, shape.blockSize, shape.tablespace));
        writeSpaceHeader(writer);
        // Extent g of all goes to file g % fileCount: a table's extents take turns between the files.
        for (std::int64_t slot = 0;; ++slot) {
            const std::int64_t g = slot * static_cast<std::int64_t>(fileCount) + static_cast<std::int64_t>(f);
            if (g >= extents) break;
            const auto object = static_cast<std::int32_t>(kSparseFirstObject + g / kSparseExtents);
            const int extent = static_cast<int>(g % kSparseExtents);
            startExtent(writer, kFirstExtentBlock + slot * slotBlocks, extentHeader(extent));
            for (std::int64_t position = firstPosition[static_cast<std::size_t>(extent)];
                 position < firstPosition[static_cast<std::size_t>(extent) + 1]; ++position) {
                Bytes block = options.filled ? sparseBlock(position, options.rowsPerBlock, options.blockSize)
                                             : templates[static_cast<std::size_t>(position)];
                const std::uint32_t address = writer.addressOf(writer.nextBlockNumber());
                putU32LE(block.data() + kBlockAddressOffset, address);
                putU32LE(block.data() + kDataObjectOffset, static_cast<std::uint32_t>(object));
                writer.writeBlock(block);
                summary.tableBlocks[object].push_back(address);
            }
        }
        writer.skipBlocks(fileBlocks - writer.nextBlockNumber());
        summary.files.push_back(closeFile(writer, path, shape));
    }
    return summary;
}

}  // namespace restorix::forge
