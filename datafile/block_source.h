#pragma once
// The one reader of the datafiles' bytes. Every block of every file of the set
// comes from here, at that file's block size and in its byte order: the scan,
// the dictionary passes, the table readers, the chains of a row and the dump
// all take their BlockViews from a BlockSource, and nothing else reads a file.
//
// A block cut short by the end of its file has one rule: the bytes the file
// lacks read as zeros and the read says how many bytes the file had, so that
// each caller decides what a partial block is worth to it.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "datafile/block_view.h"
#include "datafile/datafile_set.h"

namespace restorix {

// Block 0, the operating system's header block (10g on): the bytes 7D 7C 7B 7A
// here in a little-endian file, 7A 7B 7C 7D in a big-endian one.
constexpr int kByteOrderMagicOffset = 28;
// A copy of an AIX raw logical volume starts with this many bytes before block 0.
constexpr std::int64_t kAixLeaderBytes = 4096;

// The block size block 0 names: a u32 at 20 in the file's byte order, of
// which the low half is taken (little-endian files were read as a u16 there
// before their byte order was known; the high half is zero in every file seen).
int blockSizeOfBlockZero(const BlockView& blockZero);

// The byte order block 0's magic names; nothing when it holds none (a
// release before 10g, or not block 0).
std::optional<ByteOrder> byteOrderOfMagic(const BlockView& blockZero);

// The text a byte order is told with: "little-endian" or "big-endian".
const char* byteOrderName(ByteOrder order);

// Reads what block 0 and block 1 say of an open datafile: its byte order and
// where block 0 begins (0, or 4,096 bytes in), then its file header. The byte
// order is that of block 0's magic; a file without one (releases before 10g)
// takes the order in which block 1's own address names block 1 of a file
// number a database can have; little-endian when neither tells. Sets
// byteOrder, leaderBytes and header (nothing when block 1 is no file header
// or block 0 names no block size a datafile can have). A bad sector in the
// first blocks is read past, 2K at a time; the blocks lost are recorded.
void readDatafileStart(Datafile& datafile);

class BlockSource {
public:
    explicit BlockSource(const DatafileSet& files) : files_(files) {}

    const DatafileSet& files() const { return files_; }

    // Block `blockNumber` and those after it of file `file`, into `into`: a
    // number of whole blocks, or the first bytes of one block. Bytes the file
    // does not have (it ends) and those of a block the disk cannot read are
    // zeros; a block that cannot be read is recorded with its file and passed
    // to onUnreadable. Returns how many bytes came from the file up to its
    // end: fewer than asked tells where the file ends.
    std::size_t read(std::uint16_t file, std::int64_t blockNumber, std::span<std::uint8_t> into,
                     const std::function<void(std::int64_t blockNumber)>& onUnreadable = {}) const;

    // Bytes of file `file` seen as a block, in that file's byte order.
    BlockView view(std::uint16_t file, std::span<const std::uint8_t> bytes) const {
        return BlockView(bytes, files_.at(file).byteOrder);
    }

private:
    const DatafileSet& files_;
};

// A datafile shorter than its header says: nothing when block 1 is no file
// header (or cannot be read) or the file is whole.
std::optional<CutShort> findCutShort(const BlockSource& source, std::uint16_t file);

}  // namespace restorix
