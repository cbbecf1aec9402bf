#include "datafile/block_source.h"

#include "datafile/block_layout.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace restorix {

namespace {

constexpr int kSmallestBlockSize = 2048;
constexpr std::array<int, 5> kBlockSizes{kSmallestBlockSize, 4096, 8192, 16384, kLargestBlockSize};
constexpr std::array<std::uint8_t, 4> kLittleEndianMagic{0x7D, 0x7C, 0x7B, 0x7A};
constexpr std::array<std::uint8_t, 4> kBigEndianMagic{0x7A, 0x7B, 0x7C, 0x7D};
constexpr std::array<std::int64_t, 2> kLeaders{0, kAixLeaderBytes};
constexpr std::array<ByteOrder, 2> kByteOrders{ByteOrder::Little, ByteOrder::Big};
constexpr std::uint32_t kLargestRelativeFile = (1u << (32 - kRelativeFileShift)) - 1;

// Where block 0 begins and how the file's integers are stored.
struct FileStart {
    ByteOrder order = ByteOrder::Little;
    std::int64_t leader = 0;
};

// The first bytes of a file: enough for a leader and blocks 0 and 1 of the
// largest size.
using StartBytes = std::array<std::uint8_t, kAixLeaderBytes + 2 * kLargestBlockSize>;

bool isBlockSize(int size) { return std::find(kBlockSizes.begin(), kBlockSizes.end(), size) != kBlockSizes.end(); }

std::optional<FileStart> fromMagic(const BlockView& start) {
    for (const std::int64_t leader : kLeaders)
        if (const std::optional<ByteOrder> order = byteOrderOfMagic(start.over(start.raw().subspan(
                std::min<std::size_t>(static_cast<std::size_t>(leader), start.raw().size())))))
            return FileStart{*order, leader};
    return std::nullopt;
}

// Whether, read in `order` from `leader`, block 1 is a file header whose own
// address names block 1 of a file number a database can have.
bool blockOneNamesItself(std::span<const std::uint8_t> start, std::int64_t leader, ByteOrder order) {
    const BlockView bytes(start, order);
    const int blockSize = blockSizeOfBlockZero(bytes.over(start.subspan(std::min<std::size_t>(leader, start.size()))));
    if (!isBlockSize(blockSize)) return false;
    const long blockOne = leader + blockSize;
    const auto address = bytes.u32(blockOne + kBlockAddressOffset);
    if (bytes.u8(blockOne) != kFileHeaderBlockType || !address) return false;
    const std::uint32_t relativeFile = *address >> kRelativeFileShift;
    return (*address & kBlockNumberMask) == kFileHeaderBlock && relativeFile >= 1 && relativeFile <= kLargestRelativeFile;
}

FileStart findFileStart(std::span<const std::uint8_t> start) {
    if (const std::optional<FileStart> found = fromMagic(BlockView(start))) return *found;
    for (const std::int64_t leader : kLeaders)
        for (const ByteOrder order : kByteOrders)
            if (blockOneNamesItself(start, leader, order)) return FileStart{order, leader};
    return FileStart{};
}

std::optional<DatafileHeader> headerAt(std::span<const std::uint8_t> start, const FileStart& at) {
    const BlockView bytes(start, at.order);
    const int blockSize = blockSizeOfBlockZero(bytes.over(start.subspan(std::min<std::size_t>(at.leader, start.size()))));
    if (!isBlockSize(blockSize)) return std::nullopt;
    const BlockView header = bytes.over(bytes.bytes(at.leader + blockSize, blockSize));
    if (header.u8(0) != kFileHeaderBlockType) return std::nullopt;
    return DatafileHeader{blockSize, *header.u32(kDatabaseIdOffset), *header.u32(kRelativeFileNumberOffset),
                          *header.u32(kHeaderBlockCountOffset)};
}

}  // namespace

std::optional<ByteOrder> byteOrderOfMagic(const BlockView& blockZero) {
    const std::span<const std::uint8_t> magic = blockZero.bytes(kByteOrderMagicOffset, kLittleEndianMagic.size());
    if (std::ranges::equal(magic, kLittleEndianMagic)) return ByteOrder::Little;
    if (std::ranges::equal(magic, kBigEndianMagic)) return ByteOrder::Big;
    return std::nullopt;
}

int blockSizeOfBlockZero(const BlockView& blockZero) {
    return static_cast<std::uint16_t>(blockZero.u32(kBlockSizeFieldOffset).value_or(0) & 0xFFFF);
}

const char* byteOrderName(ByteOrder order) { return order == ByteOrder::Big ? "big-endian" : "little-endian"; }

void readDatafileStart(Datafile& datafile) {
    auto start = std::make_unique<StartBytes>();
    // The block size is not known yet: a bad sector loses the smallest block a datafile may have.
    std::vector<std::int64_t> lost;
    const std::size_t got = datafile.file.readAtSkippingBadPieces(
        0, *start, kSmallestBlockSize, [&](std::int64_t position) { lost.push_back(position); });
    const std::span<const std::uint8_t> bytes(start->data(), got);
    const FileStart at = findFileStart(bytes);
    datafile.byteOrder = at.order;
    datafile.leaderBytes = at.leader;
    const bool blockSizeLost = std::ranges::any_of(lost, [&](std::int64_t position) {
        return position <= at.leader + kBlockSizeFieldOffset && at.leader + kBlockSizeFieldOffset < position + kSmallestBlockSize;
    });
    datafile.header = blockSizeLost ? std::nullopt : headerAt(bytes, at);
    datafile.blockSize = datafile.header ? datafile.header->blockSize : kBlockSize;
    for (const std::int64_t position : lost)
        datafile.unreadable.record(std::max<std::int64_t>(0, position - at.leader) / datafile.blockSize);
}

std::size_t BlockSource::read(std::uint16_t file, std::int64_t blockNumber, std::span<std::uint8_t> into,
                              const std::function<void(std::int64_t blockNumber)>& onUnreadable) const {
    const Datafile& datafile = files_.at(file);
    const std::int64_t blockSize = datafile.blockSize > 0 ? datafile.blockSize : kBlockSize;
    const std::size_t pieceSize = std::min(into.size(), static_cast<std::size_t>(blockSize));
    const std::size_t got = datafile.file.readAtSkippingBadPieces(
        datafile.leaderBytes + blockNumber * blockSize, into, pieceSize, [&](std::int64_t position) {
            const std::int64_t lost = (position - datafile.leaderBytes) / blockSize;
            datafile.unreadable.record(lost);
            if (onUnreadable) onUnreadable(lost);
        });
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(got), into.end(), std::uint8_t{0});
    return got;
}

std::optional<CutShort> findCutShort(const BlockSource& source, std::uint16_t file) {
    const Datafile& datafile = source.files().at(file);
    const int blockSize = datafile.blockSize;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(blockSize), 0);
    source.read(file, kFileHeaderBlock, bytes);
    const BlockView header = source.view(file, bytes);
    if (header.u8(0) != kFileHeaderBlockType) return std::nullopt;
    const std::optional<std::uint32_t> headerBlocks = header.u32(kHeaderBlockCountOffset);
    if (!headerBlocks) return std::nullopt;
    const std::int64_t lastBlock = datafile.length() / blockSize - 1;
    if (lastBlock >= static_cast<std::int64_t>(*headerBlocks)) return std::nullopt;
    return CutShort{lastBlock, *headerBlocks};
}

}  // namespace restorix
