// restorix dump DATAFILE BLOCK: prints one block as the decoder sees it, the
// header fields, the ITL entries, the data header, the table and row
// directories and every row piece with its columns in hex, and each value as
// the table's column types format it when the catalog knows the table.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "datafile/row_walk.h"
#include "tabledata/row_reader.h"
#include "tabledata/value_format.h"

namespace restorix::cli {
namespace {

struct DumpArguments {
    std::string datafile;
    std::int64_t block = 0;
    std::optional<int> dataHeader;  // for blocks whose data header does not follow the ITL entries
};

// Cache header and transaction header fields beyond those the decoder reads.
constexpr int kFormatOffset = 1;
constexpr int kScnBaseOffset = 8;
constexpr int kScnWrapOffset = 12;
constexpr int kSequenceOffset = 14;
constexpr int kCacheFlagOffset = 15;
constexpr int kChecksumOffset = 16;
constexpr int kCleanoutScnBaseOffset = 28;
constexpr int kCleanoutScnWrapOffset = 32;
constexpr int kTransactionFlagOffset = 38;
// One ITL entry: transaction id, undo address, flag and lock, SCN or free space credit.
constexpr int kItlUndoOffset = 8;
constexpr int kItlFlagOffset = 16;
constexpr int kItlScnWrapOffset = 18;
constexpr int kItlScnBaseOffset = 20;
constexpr int kSinglePieceHeader = 3;

std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

class Dump {
public:
    Dump(const BlockView& block, const Recovery& recovery) : block_(block), recovery_(recovery) {}

    void print(std::int64_t blockNumber, std::optional<int> dataHeader) {
        out_ += printed("Block %lld of %s\n", static_cast<long long>(blockNumber),
                        terminalText(recovery_.sourcePath).c_str());
        printHeaders();
        RowWalkRules rules;
        rules.dataHeaderOffset = dataHeader;
        rules.everyPiece = true;
        RowPieces pieces(block_, rules);
        printDirectories(pieces.layout());
        const std::optional<TableColumns> table = tableOfBlock();
        for (const RowPiece& piece : pieces) printPiece(piece, table);
        if (pieces.broken()) out_ += "The data header or the row directory points outside the block.\n";
        std::cout << out_;
        std::cout.flush();
    }

private:
    std::uint32_t u8(long offset) const { return block_.u8(offset).value_or(0); }
    std::uint32_t u16(long offset) const { return block_.u16le(offset).value_or(0); }
    std::uint32_t u32(long offset) const { return block_.u32le(offset).value_or(0); }

    void printHeaders() {
        out_ += printed("Cache header: type 0x%02x format 0x%02x rdba 0x%08x scn 0x%04x.%08x seq 0x%02x flag 0x%02x "
                        "checksum 0x%04x\n",
                        u8(kBlockTypeOffset), u8(kFormatOffset), u32(kBlockAddressOffset), u16(kScnWrapOffset),
                        u32(kScnBaseOffset), u8(kSequenceOffset), u8(kCacheFlagOffset), u16(kChecksumOffset));
        out_ += printed("Transaction header: type %u data object %u csc 0x%04x.%08x itc %u flag 0x%02x\n",
                        u8(kSegmentKindOffset), u32(kDataObjectOffset), u16(kCleanoutScnWrapOffset),
                        u32(kCleanoutScnBaseOffset), u8(kItlCountOffset), u8(kTransactionFlagOffset));
        const int itlCount = static_cast<int>(u8(kItlCountOffset));
        for (int i = 0; i < itlCount; ++i) {
            const int e = kFixedHeaderSize + kItlEntrySize * i;
            if (!block_.contains(e, kItlEntrySize)) break;
            out_ += printed("ITL %d: xid 0x%04x.%03x.%08x uba 0x%08x.%04x.%02x flag/lock 0x%04x scn/fsc 0x%04x.%08x\n",
                            i + 1, u16(e), u16(e + 2), u32(e + 4), u32(e + kItlUndoOffset),
                            u16(e + kItlUndoOffset + 4), u8(e + kItlUndoOffset + 6), u16(e + kItlFlagOffset),
                            u16(e + kItlScnWrapOffset), u32(e + kItlScnBaseOffset));
        }
    }

    void printDirectories(const DataBlockLayout& layout) {
        const int h = layout.dataHeaderOffset;
        out_ += printed("Data header at %d: flag 0x%02x tables %u rows %u free slot 0x%04x free space 0x%04x-0x%04x "
                        "available 0x%04x total available 0x%04x\n",
                        h, u8(h), layout.tableCount, layout.rowSlotCount, u16(h + kFreeListHeadOffset),
                        u16(h + kFreeSpaceStartOffset), u16(h + kFreeSpaceEndOffset), u16(h + kAvailableSpaceOffset),
                        u16(h + kTotalAvailableOffset));
        for (int t = 0; t < layout.tableCount; ++t) {
            const int e = h + kDataHeaderSize + kTableDirectoryEntrySize * t;
            out_ += printed("Table %d: first slot %u rows %u\n", t, u16(e), u16(e + 2));
        }
        out_ += printed("Row directory at %d:\n", layout.rowDirectoryOffset);
        for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
            const auto entry = block_.u16le(layout.rowDirectoryOffset + kRowDirectoryEntrySize * slot);
            if (!entry) break;
            out_ += printed("  slot %d: 0x%04x", slot, *entry);
            const RowSlot row = rowPieceOffset(block_, layout, slot);
            if (row.state == SlotState::Piece) out_ += printed(" at %d\n", row.offset);
            else if (*entry == kEmptySlot) out_ += " empty\n";
            else if (*entry < layout.rowSlotCount) out_ += " free-slot link\n";
            else out_ += " past the block\n";
        }
    }

    // K cluster key, C cluster member, H head, D deleted, F first, L last,
    // P previous part, N next part; a dash for a clear bit.
    static std::string flagLetters(std::uint8_t flag) {
        static constexpr char kLetters[] = "KCHDFLPN";
        std::string letters;
        for (int bit = 0; bit < 8; ++bit) letters += (flag & (0x80 >> bit)) ? kLetters[bit] : '-';
        return letters;
    }

    void printPiece(const RowPiece& piece, const std::optional<TableColumns>& table) {
        out_ += printed("Row piece slot %d at %d: flag 0x%02x %s lock %u columns %u", piece.slot, piece.offset,
                        piece.flag, flagLetters(piece.flag).c_str(), u8(piece.offset + 1), piece.columnCount);
        if (!piece.form.classified) {
            out_ += " unclassified\n";
            return;
        }
        out_ += printed(" header %d%s\n", piece.form.headerLength, piece.form.decoded ? "" : " not decoded");
        if (piece.form.headerLength > kSinglePieceHeader)
            out_ += "  header bytes:" + hex(block_.bytes(piece.offset, piece.form.headerLength)) + '\n';
        if (!piece.form.decoded) return;
        std::vector<ColumnValue> columns;
        const bool complete = readColumns(block_, piece.firstColumnOffset(), piece.columnCount, columns);
        // Only an ordinary row stores its columns in the table's order from the first.
        const bool withValues = table && piece.form.headerLength == kSinglePieceHeader;
        for (std::size_t k = 0; k < columns.size(); ++k) printColumn(static_cast<int>(k), columns[k], withValues ? &*table : nullptr);
        if (!complete) out_ += "  the columns run past the block\n";
    }

    void printColumn(int k, const ColumnValue& column, const TableColumns* table) {
        if (column.isNull) {
            out_ += printed("  col %d: NULL\n", k);
            return;
        }
        out_ += printed("  col %d: [%zu]", k, column.bytes.size()) + hex(column.bytes);
        if (table) {
            if (const auto type = table->typeOfStoredValue(k)) out_ += " = " + terminalText(formatColumnValue(*type, column.bytes).text);
        }
        out_ += '\n';
    }

    static std::string hex(std::span<const std::uint8_t> bytes) {
        std::string text;
        for (const std::uint8_t b : bytes) text += printed(" %02x", b);
        return text;
    }

    // The catalog's table whose segment this block belongs to, if any.
    std::optional<TableColumns> tableOfBlock() const {
        const auto dataObject = static_cast<std::int32_t>(u32(kDataObjectOffset));
        const auto& objects = recovery_.catalog.objectList;
        const auto table = std::find_if(objects.begin(), objects.end(), [&](const ObjectEntry& o) {
            return o.type() == kTable && o.dataObjectNumber == dataObject;
        });
        if (table == objects.end()) return std::nullopt;
        return TableColumns(recovery_.catalog, *table);
    }

    BlockView block_;
    const Recovery& recovery_;
    std::string out_;
};

// An empty argument would otherwise read as 0, and one past the range of the
// number as its largest value.
const CLI::Validator kNumberInRange(
    [](const std::string& text) {
        if (text.empty()) return std::string("an empty argument is no number");
        std::int64_t number = 0;
        if (std::from_chars(text.data(), text.data() + text.size(), number).ec == std::errc::result_out_of_range)
            return text + " is beyond the range of a number";
        return std::string();
    },
    "", "number in range");

int runDump(const DumpArguments& args) {
    CommandSession session;
    Recovery recovery;
    const int analysed = analyzeDatafiles(session, recovery, {args.datafile}, RecoveryOption::All);
    // A file the analysis cannot read still has blocks to show, without values.
    if (analysed != kSuccess && analysed != kUnsupportedVersion) return analysed;
    if (analysed == kUnsupportedVersion) printError("No dictionary was read: column values are not shown.");
    // Compared as a count of blocks (a block number times the block size may
    // not fit in 64 bits); a last block cut short is shown as far as it goes.
    const std::int64_t length = recovery.datafiles.system().file.length();
    const std::int64_t blocks = length / kBlockSize + (length % kBlockSize != 0 ? 1 : 0);
    if (args.block < 0 || args.block >= blocks) {
        printError("Block " + std::to_string(args.block) + " is not in the datafile: " +
                   (blocks == 0 ? std::string("it holds no block")
                                : "its blocks are 0 to " + std::to_string(blocks - 1)));
        return kUsageError;
    }
    Block block{};
    readBlock(recovery.datafiles.system().file, args.block, block);
    Dump(BlockView(block), recovery).print(args.block, args.dataHeader);
    return kSuccess;
}

}  // namespace

void addDumpCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<DumpArguments>();
    CLI::App* command = app.add_subcommand("dump", "Print one block as the decoder sees it");
    command->add_option("DATAFILE", args->datafile, "The SYSTEM datafile (.dbf)")->required();
    command->add_option("BLOCK", args->block, "The block number (block n starts at byte n x 8192)")
        ->required()
        ->check(kNumberInRange);
    command->add_option("--data-header", args->dataHeader,
                        "The data header's block offset, for blocks whose header does not follow the ITL entries")
        ->check(kNumberInRange)
        ->check(CLI::Range(0, static_cast<int>(kBlockSize) - 1));
    command->callback([args, &exitCode] { exitCode = runDump(*args); });
}

}  // namespace restorix::cli
