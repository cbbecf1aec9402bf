// restorix dump DATAFILE... BLOCK [--file N]: prints one block of one datafile,
// read in that file's block size, by its kind. A data block as the decoder
// sees it: the header fields, the ITL entries, the data header, the table and
// row directories and every row piece with its columns in hex, and each value
// as the table's column types format it when the catalog knows the table.
// Block 0 and the file header with their fields; any other block as its
// cache header and the whole block in hex.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "datafile/block_source.h"
#include "datafile/datafile_set.h"
#include "datafile/row_walk.h"
#include "tabledata/row_reader.h"
#include "tabledata/value_format.h"

namespace restorix::cli {
namespace {

struct DumpArguments {
    std::vector<std::string> datafiles;
    std::int64_t block = 0;
    std::optional<std::int64_t> relativeFile;  // the first file given when absent
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
// The file header (block 1), beside the fields the set reads of it.
constexpr int kDatabaseNameOffset = 32;
constexpr int kDatabaseNameSize = 8;
constexpr int kTablespaceNameOffset = 338;
constexpr int kTablespaceNameSize = 30;
constexpr int kHexBytesPerLine = 16;

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
    // `block` holds the whole block, of which the file has the first `length` bytes (the rest are zeros).
    Dump(const BlockView& block, std::size_t length, const Catalog& catalog)
        : block_(block.over(block.raw().first(length))), whole_(block), catalog_(catalog) {}

    // `title` names the file.
    void print(const std::string& title, std::int64_t blockNumber, std::optional<int> dataHeader) {
        const int blockSize = whole_.size();
        out_ += "Block " + std::to_string(blockNumber) + " of " + terminalText(title);
        if (blockSize != kBlockSize) out_ += printed(" (%d-byte blocks)", blockSize);
        out_ += '\n';
        if (blockNumber == 0) printOsHeader();
        else if (blockNumber == kFileHeaderBlock && u8(kBlockTypeOffset) == kFileHeaderBlockType) printFileHeader(blockSize);
        else if (u8(kBlockTypeOffset) == kDataBlockType) printDataBlock(dataHeader);
        else printOtherBlock();
        if (block_.size() < blockSize)
            out_ += printed("The file ends at byte %lld, inside this block: its last %d bytes are missing.\n",
                            static_cast<long long>(blockNumber * blockSize + block_.size()), blockSize - block_.size());
        std::cout << out_;
        std::cout.flush();
    }

private:
    void printOsHeader() {
        out_ += "Operating-system header block\n";
        out_ += printed("block size: %u\nblock count: %u\n", u32(kBlockSizeFieldOffset), u32(kBlockZeroBlockCountOffset));
        if (byteOrderOfMagic(block_))
            out_ += std::string("byte order: ") + byteOrderName(block_.byteOrder()) + '\n';
        else
            out_ += std::string("byte order: ") + byteOrderName(block_.byteOrder()) +
                    " (no magic: a release before 10g? Found from the file header's own address, or assumed)\n";
    }

    void printFileHeader(int blockSize) {
        printCacheHeader();
        const std::uint32_t root = u32(kRootAddressOffset);
        out_ += printed("File header\ndatabase id: %u\n", u32(kDatabaseIdOffset));
        out_ += "database name: " + text(kDatabaseNameOffset, kDatabaseNameSize) + '\n';
        out_ += printed("relative file number: %u\nblock size: %d\nblock count: %u\n",
                        u32(kRelativeFileNumberOffset), blockSize, u32(kHeaderBlockCountOffset));
        out_ += printed("root address: 0x%08x (file %u, block %u)\n", root, root >> kRelativeFileShift,
                        root & kBlockNumberMask);
        const int nameLength = std::min(static_cast<int>(u16(kTablespaceNameLengthOffset)), kTablespaceNameSize);
        out_ += "tablespace: " + text(kTablespaceNameOffset, nameLength) + '\n';
    }

    void printDataBlock(std::optional<int> dataHeader) {
        printHeaders();
        RowWalkRules rules;
        // Found as the scan finds it (automatically managed segments put it 8
        // bytes later), in the whole block: a cut through the rows does not
        // hide where the header is.
        rules.dataHeaderOffset = dataHeader ? dataHeader : tableDataHeaderOffsetOf(whole_);
        rules.everyPiece = true;
        RowPieces pieces(block_, rules);
        printDirectories(pieces.layout());
        const std::optional<TableColumns> table = tableOfBlock();
        for (const RowPiece& piece : pieces) printPiece(piece, table);
        if (pieces.broken()) out_ += "The data header or the row directory points outside the block.\n";
    }

    void printOtherBlock() {
        printCacheHeader();
        printHex();
    }

    // The bytes the file has of the block, 16 a line after their block
    // offset; lines equal to the one before are shown as one "*", but the
    // last line always, so that the block's end is seen.
    void printHex() {
        std::span<const std::uint8_t> previous;
        bool folding = false;
        for (int offset = 0; offset < block_.size(); offset += kHexBytesPerLine) {
            const std::span<const std::uint8_t> line = block_.bytes(offset, std::min(kHexBytesPerLine, block_.size() - offset));
            const bool last = offset + kHexBytesPerLine >= block_.size();
            if (!last && !previous.empty() && std::ranges::equal(line, previous)) {
                if (!folding) out_ += "*\n";
                folding = true;
                continue;
            }
            out_ += printed("%04x:", offset) + hex(line) + '\n';
            previous = line;
            folding = false;
        }
    }

    // A blank-padded text field, without its padding.
    std::string text(int offset, int size) const {
        const std::span<const std::uint8_t> bytes = block_.bytes(offset, size);
        std::string value(bytes.begin(), bytes.end());
        value.erase(value.find_last_not_of(std::string(" \0", 2)) + 1);
        return terminalText(value);
    }

    std::uint32_t u8(long offset) const { return block_.u8(offset).value_or(0); }
    std::uint32_t u16(long offset) const { return block_.u16(offset).value_or(0); }
    std::uint32_t itlCount() const { return itlCountOf(block_); }
    std::uint32_t u32(long offset) const { return block_.u32(offset).value_or(0); }

    void printCacheHeader() {
        out_ += printed("Cache header: type 0x%02x format 0x%02x rdba 0x%08x scn 0x%04x.%08x seq 0x%02x flag 0x%02x "
                        "checksum 0x%04x\n",
                        u8(kBlockTypeOffset), u8(kFormatOffset), u32(kBlockAddressOffset), u16(kScnWrapOffset),
                        u32(kScnBaseOffset), u8(kSequenceOffset), u8(kCacheFlagOffset), u16(kChecksumOffset));
    }

    void printHeaders() {
        printCacheHeader();
        out_ += printed("Transaction header: type %u data object %u csc 0x%04x.%08x itc %u flag 0x%02x\n",
                        u8(kSegmentKindOffset), u32(kDataObjectOffset), u16(kCleanoutScnWrapOffset),
                        u32(kCleanoutScnBaseOffset), itlCount(), u8(kTransactionFlagOffset));
        const int itlCount = static_cast<int>(this->itlCount());
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
            const auto entry = block_.u16(layout.rowDirectoryOffset + kRowDirectoryEntrySize * slot);
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
            if (const auto kind = table->kindOfStoredValue(k)) out_ += " = " + terminalText(formatColumnValue(*kind, column.bytes).text);
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
        const auto& objects = catalog_.objectList;
        const auto table = std::find_if(objects.begin(), objects.end(), [&](const ObjectEntry& o) {
            return o.type() == kTable && o.dataObjectNumber == dataObject;
        });
        if (table == objects.end()) return std::nullopt;
        return TableColumns(catalog_, *table);
    }

    BlockView block_;
    BlockView whole_;
    const Catalog& catalog_;
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

// The file given with relative file number `relativeFile`, or the first one
// given; a number no file carries is a usage error that lists theirs.
std::optional<std::size_t> fileToDump(const DatafileSet& files, std::optional<std::int64_t> relativeFile) {
    if (!relativeFile) return 0;
    std::string numbers;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::optional<DatafileHeader>& header = files.at(i).header;
        if (!header) continue;
        if (header->relativeFileNumber == *relativeFile) return i;
        numbers += (numbers.empty() ? "" : ", ") + std::to_string(header->relativeFileNumber);
    }
    printError("--file " + std::to_string(*relativeFile) + " names none of the files given: " +
               (numbers.empty() ? std::string("they carry no relative file number")
                                : "their relative file numbers are " + numbers));
    return std::nullopt;
}

int runDump(const DumpArguments& args) {
    CommandSession session;
    Recovery recovery;
    const int analysed = analyzeDatafiles(session, recovery, args.datafiles, RecoveryOption::All);
    // A file the analysis cannot read still has blocks to show, without values.
    if (analysed != kSuccess && analysed != kUnsupportedVersion) return analysed;
    const std::optional<std::size_t> chosen = fileToDump(recovery.database.datafiles, args.relativeFile);
    if (!chosen) return kUsageError;
    const Datafile& datafile = recovery.database.datafiles.at(*chosen);
    // As every reader reads it: the SYSTEM file in 8K blocks, the others in their own size.
    const int blockSize = datafile.blockSize;
    // Compared as a count of blocks (a block number times the block size may
    // not fit in 64 bits); a last block cut short is shown as far as it goes.
    const std::int64_t length = datafile.length();
    const std::int64_t blocks = length / blockSize + (length % blockSize != 0 ? 1 : 0);
    if (args.block < 0 || args.block >= blocks) {
        printError("Block " + std::to_string(args.block) + " is not in the datafile: " +
                   (blocks == 0 ? std::string("it holds no block")
                                : "its blocks are 0 to " + std::to_string(blocks - 1)));
        return kUsageError;
    }
    if (args.dataHeader && *args.dataHeader >= blockSize) {
        printError("--data-header " + std::to_string(*args.dataHeader) + " is not in the block: its bytes are 0 to " +
                   std::to_string(blockSize - 1));
        return kUsageError;
    }
    if (analysed == kUnsupportedVersion) printError("No dictionary was read: column values are not shown.");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(blockSize), 0);
    const auto file = static_cast<std::uint16_t>(*chosen);
    const std::size_t got = recovery.database.blockSource.read(file, args.block, bytes);
    // The SYSTEM file goes by the name the analysis gave it, as in its messages.
    const std::string& title =
        *chosen == recovery.database.datafiles.systemIndex() ? recovery.database.sourcePath : datafile.path;
    Dump(recovery.database.blockSource.view(file, bytes), got, recovery.catalog)
        .print(title, args.block, args.dataHeader);
    return kSuccess;
}

}  // namespace

void addDumpCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<DumpArguments>();
    CLI::App* command = app.add_subcommand("dump", "Print one block as the decoder sees it");
    // The block number comes last, after any number of datafiles.
    command->add_option("DATAFILE", args->datafiles,
                        "The SYSTEM datafile or every datafile of the database (.dbf), then BLOCK: the block "
                        "number (block n starts at byte n x the file's block size)")
        ->required()
        ->expected(2, CLI::detail::expected_max_vector_size);
    command->add_option("--file", args->relativeFile,
                        "The relative file number of the file to read (the first file given when absent)")
        ->check(kNumberInRange);
    command->add_option("--data-header", args->dataHeader,
                        "The data header's block offset, for blocks whose header is not where the scan finds it")
        ->check(kNumberInRange)
        ->check(CLI::Range(0, kLargestBlockSize - 1));
    command->callback([args, &exitCode] {
        const std::string blockText = args->datafiles.back();
        args->datafiles.pop_back();
        // Read as the option parser reads a number (0x10 is block 16).
        const std::string refusal = kNumberInRange(blockText);
        if (!refusal.empty() || !CLI::detail::lexical_cast(blockText, args->block))
            throw CLI::ValidationError("BLOCK", refusal.empty() ? blockText + " is no block number" : refusal);
        exitCode = runDump(*args);
    });
}

}  // namespace restorix::cli
