#pragma once
// Builds data blocks the way the database lays them out: header, ITL entries,
// data header, table directory, row directory, row pieces packed from the end
// of the block downwards.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "datafile/block_layout.h"
#include "datafile/block_view.h"

namespace restorix::forge {

using Bytes = std::vector<std::uint8_t>;

inline void putU16LE(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void putU32LE(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
// A row address (block address, then slot), most significant byte first as
// every platform stores it.
inline void putRowAddress(std::uint8_t* p, std::uint32_t blockAddress, std::uint16_t slot) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(blockAddress >> (8 * (3 - i)));
    p[4] = static_cast<std::uint8_t>(slot >> 8);
    p[5] = static_cast<std::uint8_t>(slot & 0xFF);
}

// How the blocks of a segment are shaped. The default is the 8K freelist
// block every single-file scenario is written with.
struct BlockFormat {
    int size = kBlockSize;  // 2K to 32K
    // Automatic segment space management: 8 more bytes before the data header.
    bool assm = false;
    // The block as the database writes it: a tail in the last 4 bytes (SCN
    // bits, type, sequence) and the data header's free-space fields in their
    // places (free-slot list at +4, start and end of the free gap at +6 and +8,
    // free bytes at +10 and +12). The 8K blocks of the single-file scenarios
    // keep the older form their golden files were made with: no tail, the gap's
    // start and end at +4 and +6.
    bool complete = false;
};
constexpr int kAssmDataHeaderShift = 8;
constexpr int kBlockTailSize = 4;
constexpr int kMinBlockSize = 2048;
constexpr int kMaxBlockSize = 32768;
// Throws std::invalid_argument unless `size` is 2K, 4K, 8K, 16K or 32K.
void checkBlockSize(int size);
// Block offset of the data header: after the fixed header, the ITL entries
// and, in ASSM blocks, 8 bytes more.
int dataHeaderOffsetFor(const BlockFormat& format, int itlCount);
// Where row data may end: the block's end, or its tail.
inline int rowSpaceEnd(const BlockFormat& format) { return format.size - (format.complete ? kBlockTailSize : 0); }
// One column of a row: its bytes, or NULL.
using Column = std::optional<Bytes>;

// Appends one column: FF for NULL, L + bytes up to 250 bytes, else FE + u16le + bytes.
void appendColumn(Bytes& row, const Column& column);

// Row piece with a 3-byte header: flag, lock byte, column count.
Bytes makeRow(const std::vector<Column>& columns, std::uint8_t flag = 0x2C);
// Member row of a clustered table: flag, lock, column count, cluster-key index.
Bytes makeClusterMemberRow(std::uint8_t keyIndex, const std::vector<Column>& columns,
                           std::uint8_t flag = 0x6C);
// Cluster key row: the 19-byte header, then its columns.
Bytes makeClusterKeyRow(const std::vector<Column>& columns, std::uint8_t flag = 0xAC);

class DataBlockBuilder {
public:
    DataBlockBuilder(std::int32_t dataObjectId, std::uint32_t blockAddress, int itlCount = 2,
                     int tableCount = 1, const BlockFormat& format = {});

    // Adds a row piece and its directory entry; returns the slot, or nullopt
    // when the block has no room left.
    std::optional<int> addRow(std::span<const std::uint8_t> piece);
    // Directory entries without a row: an empty slot (FFFF), or a raw value
    // such as a free-slot link (an entry below the slot count).
    void addEmptySlot() { addRawSlot(kEmptySlot); }
    void addRawSlot(std::uint16_t entry);

    // Header fields other than the defaults: the segment kind byte at offset 20
    // (1 data, 2 index), the block address at offset 4, and the table
    // directory of a cluster block (one entry per clustered table: the first
    // row directory slot of that table and its number of slots).
    void setSegmentKind(std::uint8_t kind) { segmentKind_ = kind; }
    void setBlockAddress(std::uint32_t address) { blockAddress_ = address; }
    // The first directory entry of the block's free-slot list (complete blocks).
    void setFreeListHead(std::uint16_t slot) { freeListHead_ = slot; }
    struct TableDirectoryEntry {
        std::uint16_t firstSlot = 0;
        std::uint16_t slotCount = 0;
    };
    void setTableDirectory(std::vector<TableDirectoryEntry> entries) { tableDirectory_ = std::move(entries); }
    // Block offset of the row piece in `slot`, or nullopt for a slot without one.
    std::optional<int> pieceOffset(int slot) const;

    bool fits(std::size_t pieceSize) const;
    std::size_t freeBytes() const;
    int slotCount() const { return static_cast<int>(slots_.size()); }
    int dataHeaderOffset() const { return dataHeaderOffsetFor(format_, itlCount_); }

    // An 8K block (throws std::logic_error for another size), or a block of
    // the format's size.
    Block build() const;
    Bytes buildBytes() const;

private:
    void writeInto(std::span<std::uint8_t> block) const;
    int rowDirectoryOffset() const {
        return dataHeaderOffset() + kDataHeaderSize + kTableDirectoryEntrySize * tableCount_;
    }

    std::int32_t dataObjectId_;
    std::uint32_t blockAddress_;
    int itlCount_;
    int tableCount_;
    BlockFormat format_;
    std::vector<std::uint16_t> slots_;
    std::vector<std::pair<int, Bytes>> pieces_;  // block offset, bytes
    int lowestPiece_;
    std::uint8_t segmentKind_ = 1;
    std::uint16_t freeListHead_ = kEmptySlot;
    std::vector<TableDirectoryEntry> tableDirectory_;  // empty: every slot in table 0
};

}  // namespace restorix::forge
