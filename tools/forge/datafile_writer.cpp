#include "tools/forge/datafile_writer.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "datafile/datafile_set.h"
#include "tools/forge/block_builder.h"

namespace restorix::forge {

namespace {

constexpr std::size_t kBufferBytes = 4u << 20;  // per write
constexpr int kFileShift = 22;              // block address: file number above 22 bits of block number

// Block 0: the file's block count and the operating-system header magic.
constexpr int kFileHeaderMagicOffset = 28;
constexpr std::uint32_t kFileHeaderMagic = 0x7A7B7C7D;
// Block 1: the database's identity and the file's place in it.
constexpr int kDatabaseIdOffset = 28;
constexpr int kDatabaseNameOffset = 32;
constexpr std::size_t kDatabaseNameSize = 8;
constexpr int kFileSizeOffset = 44;  // blocks after block 0
constexpr int kTablespaceNameOffset = 338;
constexpr std::size_t kTablespaceNameSize = 30;
constexpr int kRelativeFileOffset = 368;

std::string systemReason() { return std::strerror(errno); }

void putText(std::uint8_t* p, const std::string& text, std::size_t size) {
    std::memcpy(p, text.data(), std::min(text.size(), size));
}

}  // namespace

FileHeader FileHeader::ofDatabase(std::uint32_t databaseId, std::uint32_t fileNumber, int blockSize,
                                  std::string tablespace) {
    FileHeader header;
    header.blockSizeField = blockSize;
    header.fileNumber = fileNumber;
    header.blockSize = blockSize;
    header.databaseId = databaseId;
    header.tablespace = std::move(tablespace);
    return header;
}

DatafileWriter::DatafileWriter(const std::string& path, const FileHeader& header)
    : path_(path),
      fileNumber_(header.fileNumber),
      blockSize_(header.blockSize),
      sizeInFileHeader_(header.databaseId.has_value()),
      zeros_(static_cast<std::size_t>(header.blockSize), 0) {
    checkBlockSize(blockSize_);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error("cannot create " + path + ": " + systemReason());
    buffer_.reserve(kBufferBytes + zeros_.size());

    std::vector<std::uint8_t> fileHeader(zeros_);
    fileHeader[0] = kFileHeaderBlockType;
    fileHeader[1] = kBlockFormat;
    putU16LE(fileHeader.data() + kFileHeaderBlockSizeOffset, static_cast<std::uint16_t>(header.blockSizeField));
    putU32LE(fileHeader.data() + kFileHeaderMagicOffset, kFileHeaderMagic);
    writeBlock(fileHeader);

    std::vector<std::uint8_t> datafileHeader(zeros_);
    datafileHeader[0] = kDatafileHeaderBlockType;
    datafileHeader[1] = kBlockFormat;
    putU32LE(datafileHeader.data() + kBlockAddressOffset, addressOf(1));
    putText(datafileHeader.data() + kDatabaseNameOffset, header.databaseName, kDatabaseNameSize);
    // Every block address names the file, so its header does too.
    putU32LE(datafileHeader.data() + kRelativeFileOffset, header.fileNumber);
    const std::size_t nameSize = std::min(header.tablespace.size(), kTablespaceNameSize);
    putU16LE(datafileHeader.data() + kTablespaceNameLengthOffset, static_cast<std::uint16_t>(nameSize));
    putText(datafileHeader.data() + kTablespaceNameOffset, header.tablespace, kTablespaceNameSize);
    if (header.databaseId) putU32LE(datafileHeader.data() + kDatabaseIdOffset, *header.databaseId);
    writeBlock(datafileHeader);
}

DatafileWriter::~DatafileWriter() {
    if (file_) std::fclose(file_);
}

std::uint32_t blockAddress(std::uint32_t fileNumber, std::int64_t blockNumber) {
    return (fileNumber << kFileShift) | (static_cast<std::uint32_t>(blockNumber) & ((1u << kFileShift) - 1));
}

std::uint32_t DatafileWriter::addressOf(std::int64_t blockNumber) const { return blockAddress(fileNumber_, blockNumber); }

void DatafileWriter::append(const std::uint8_t* data, std::size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
    bytesWritten_ += size;
    if (buffer_.size() >= kBufferBytes) flush();
}

void DatafileWriter::flush() {
    if (buffer_.empty() || !file_) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        throw std::runtime_error("cannot write " + path_ + ": " + systemReason());
    buffer_.clear();
}

void DatafileWriter::writeBlock(std::span<const std::uint8_t> block) {
    if (block.size() != zeros_.size())
        throw std::logic_error("a block of " + std::to_string(block.size()) + " bytes for " + path_ + ", whose blocks have " +
                               std::to_string(blockSize_));
    append(block.data(), block.size());
    ++blocksWritten_;
}

void DatafileWriter::writeNonDataBlock(std::uint8_t type) {
    std::vector<std::uint8_t> block(zeros_);
    block[0] = type;
    block[1] = kBlockFormat;
    putU32LE(block.data() + kBlockAddressOffset, addressOf(nextBlockNumber()));
    writeBlock(block);
}

void DatafileWriter::writeZeroBlocks(std::int64_t count) {
    for (std::int64_t i = 0; i < count; ++i) writeBlock(zeros_);
}

void DatafileWriter::writePartialBlock(std::size_t bytes) { append(zeros_.data(), std::min(bytes, zeros_.size())); }

void DatafileWriter::skipBlocks(std::int64_t count) {
    if (count <= 0) return;
    flush();
    const auto bytes = static_cast<off_t>(count) * blockSize_;
    if (fseeko(file_, bytes, SEEK_CUR) != 0)
        throw std::runtime_error("cannot seek in " + path_ + ": " + systemReason());
    blocksWritten_ += count;
    bytesWritten_ += static_cast<std::uint64_t>(bytes);
    holes_ = true;
}

bool DatafileWriter::patchU32(long offset, std::uint32_t value) {
    std::uint8_t bytes[4];
    putU32LE(bytes, value);
    return std::fseek(file_, offset, SEEK_SET) == 0 && std::fwrite(bytes, 1, sizeof bytes, file_) == sizeof bytes;
}

void DatafileWriter::close() {
    if (!file_) return;
    flush();
    // A file that ends in a hole gets its length all the same.
    bool ok = !holes_ || (std::fflush(file_) == 0 && ftruncate(fileno(file_), static_cast<off_t>(bytesWritten_)) == 0);
    // Block 0 records the number of blocks the file holds, block 1 those after block 0.
    ok = ok && patchU32(kBlockZeroBlockCountOffset, static_cast<std::uint32_t>(blocksWritten_));
    if (sizeInFileHeader_)
        ok = ok && patchU32(blockSize_ + kFileSizeOffset, static_cast<std::uint32_t>(blocksWritten_ - 1));
    const std::string reason = ok ? std::string() : systemReason();
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !closed) throw std::runtime_error("cannot write " + path_ + ": " + (ok ? systemReason() : reason));
}

}  // namespace restorix::forge
