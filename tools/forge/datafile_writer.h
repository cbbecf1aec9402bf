#pragma once
// Writes a datafile block by block: the two header blocks first, then
// whatever blocks the caller hands over, through a large buffer so that
// gigabyte files are written in a few seconds.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "datafile/block_view.h"

namespace restorix::forge {

// Block types other than data blocks (6).
constexpr std::uint8_t kFileHeaderBlockType = 0x00;      // block 0
constexpr std::uint8_t kDatafileHeaderBlockType = 0x0B;  // block 1
constexpr std::uint8_t kSegmentHeaderBlockType = 0x10;
constexpr std::uint8_t kBlockFormat = 0xA2;

constexpr int kFileHeaderBlockSizeOffset = 20;  // u16 in block 0

// The address every block carries at offset 4 (and row pieces carry of
// others): relative file number above 22 bits of block number.
std::uint32_t blockAddress(std::uint32_t fileNumber, std::int64_t blockNumber);
constexpr std::int64_t kMaxBlocksPerFile = (std::int64_t{1} << 22) - 1;

struct FileHeader {
    int blockSizeField = kBlockSize;  // the block size block 0 declares
    std::uint32_t fileNumber = 1;     // relative file number, in every block address
    std::string databaseName = "ORCL";
    int blockSize = kBlockSize;       // the size of every block of the file
    // A file of a database of several files: block 1 also carries the
    // database id and the file size in blocks (the relative file number and
    // the tablespace name are always there).
    std::optional<std::uint32_t> databaseId = std::nullopt;
    std::string tablespace;

    static FileHeader ofDatabase(std::uint32_t databaseId, std::uint32_t fileNumber, int blockSize,
                                 std::string tablespace);
};

class DatafileWriter {
public:
    // Creates (or truncates) the file and writes blocks 0 and 1. Throws
    // std::runtime_error when the file cannot be written.
    DatafileWriter(const std::string& path, const FileHeader& header = {});
    ~DatafileWriter();
    DatafileWriter(const DatafileWriter&) = delete;
    DatafileWriter& operator=(const DatafileWriter&) = delete;

    // Block number the next block gets, and the block address (file number
    // and block number) any block carries at offset 4.
    std::int64_t nextBlockNumber() const { return blocksWritten_; }
    std::uint32_t addressOf(std::int64_t blockNumber) const;

    int blockSize() const { return blockSize_; }
    // A block of the file's block size; throws std::logic_error for another.
    void writeBlock(std::span<const std::uint8_t> block);
    // A block of another kind: type byte, format byte and address, else zeros.
    void writeNonDataBlock(std::uint8_t type);
    // Blocks never formatted: all zeros.
    void writeZeroBlocks(std::int64_t count);
    // A last, partial block of zeros (the file length is then no multiple
    // of the block size).
    void writePartialBlock(std::size_t bytes);
    // Blocks left as a hole: nothing is written, the file stays sparse there.
    void skipBlocks(std::int64_t count);

    std::uint64_t bytesWritten() const { return bytesWritten_; }
    // Flushes and closes; throws std::runtime_error on a write failure.
    void close();

private:
    void append(const std::uint8_t* data, std::size_t size);
    bool patchU32(long offset, std::uint32_t value);
    void flush();

    std::string path_;
    std::FILE* file_ = nullptr;
    std::uint32_t fileNumber_;
    int blockSize_;
    bool sizeInFileHeader_;
    bool holes_ = false;
    std::vector<std::uint8_t> zeros_;
    std::int64_t blocksWritten_ = 0;
    std::uint64_t bytesWritten_ = 0;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace restorix::forge
