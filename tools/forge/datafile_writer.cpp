#include "tools/forge/datafile_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace restorix::forge {

namespace {

constexpr std::size_t kBufferBlocks = 512;  // 4 MiB per write
constexpr int kFileShift = 22;              // block address: file number above 22 bits of block number

// Block 0: the file's block count and the operating-system header magic.
constexpr int kFileHeaderBlockCountOffset = 24;
constexpr int kFileHeaderMagicOffset = 28;
constexpr std::uint32_t kFileHeaderMagic = 0x7A7B7C7D;
// Block 1: the database name.
constexpr int kDatabaseNameOffset = 32;
constexpr std::size_t kDatabaseNameSize = 8;

void put16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

DatafileWriter::DatafileWriter(const std::string& path, const FileHeader& header)
    : path_(path), fileNumber_(header.fileNumber) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) throw std::runtime_error("cannot create " + path);
    buffer_.reserve(kBufferBlocks * kBlockSize);

    Block fileHeader{};
    fileHeader[0] = kFileHeaderBlockType;
    fileHeader[1] = kBlockFormat;
    put16(fileHeader.data() + kFileHeaderBlockSizeOffset, static_cast<std::uint16_t>(header.blockSizeField));
    put32(fileHeader.data() + kFileHeaderMagicOffset, kFileHeaderMagic);
    writeBlock(fileHeader);

    Block datafileHeader{};
    datafileHeader[0] = kDatafileHeaderBlockType;
    datafileHeader[1] = kBlockFormat;
    put32(datafileHeader.data() + kBlockAddressOffset, addressOf(1));
    std::memcpy(datafileHeader.data() + kDatabaseNameOffset, header.databaseName.data(),
                std::min(header.databaseName.size(), kDatabaseNameSize));
    writeBlock(datafileHeader);
}

DatafileWriter::~DatafileWriter() {
    if (file_) std::fclose(file_);
}

std::uint32_t DatafileWriter::addressOf(std::int64_t blockNumber) const {
    return (fileNumber_ << kFileShift) | (static_cast<std::uint32_t>(blockNumber) & ((1u << kFileShift) - 1));
}

void DatafileWriter::append(const std::uint8_t* data, std::size_t size) {
    buffer_.insert(buffer_.end(), data, data + size);
    bytesWritten_ += size;
    if (buffer_.size() >= kBufferBlocks * kBlockSize) flush();
}

void DatafileWriter::flush() {
    if (buffer_.empty() || !file_) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        throw std::runtime_error("cannot write " + path_);
    buffer_.clear();
}

void DatafileWriter::writeBlock(const Block& block) {
    append(block.data(), block.size());
    ++blocksWritten_;
}

void DatafileWriter::writeNonDataBlock(std::uint8_t type) {
    Block block{};
    block[0] = type;
    block[1] = kBlockFormat;
    put32(block.data() + kBlockAddressOffset, addressOf(nextBlockNumber()));
    writeBlock(block);
}

void DatafileWriter::writeZeroBlocks(std::int64_t count) {
    static const Block zeros{};
    for (std::int64_t i = 0; i < count; ++i) writeBlock(zeros);
}

void DatafileWriter::writePartialBlock(std::size_t bytes) {
    static const Block zeros{};
    append(zeros.data(), std::min<std::size_t>(bytes, kBlockSize));
}

void DatafileWriter::close() {
    if (!file_) return;
    flush();
    // Block 0 records the number of blocks the file holds.
    std::uint8_t count[4];
    put32(count, static_cast<std::uint32_t>(blocksWritten_));
    const bool ok = std::fseek(file_, kFileHeaderBlockCountOffset, SEEK_SET) == 0 && std::fwrite(count, 1, 4, file_) == 4;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!ok || !closed) throw std::runtime_error("cannot write " + path_);
}

}  // namespace restorix::forge
