#pragma once
// One block and the only way decoders read it: every read is bounds-checked
// here and answers "no value" past the end of the block. The SYSTEM datafile's
// blocks are 8192 bytes; the other datafiles of a database may use 2K to 32K.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace restorix {

// The SYSTEM datafile's block size, the one the dictionary is read with.
constexpr int kBlockSize = 8192;

using Block = std::array<std::uint8_t, kBlockSize>;

inline std::uint16_t readU16LE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t readU32LE(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
// Row-piece addresses (block address, then slot) are stored most significant
// byte first in the files of every platform; so is every integer of the block
// structure in a big-endian file.
inline std::uint16_t readU16BE(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}
inline std::uint32_t readU32BE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// The order in which a datafile stores the integers of its block structure:
// that of the platform the database ran on.
enum class ByteOrder : std::uint8_t { Little, Big };

inline std::uint16_t readU16(const std::uint8_t* p, ByteOrder order) {
    return order == ByteOrder::Big ? readU16BE(p) : readU16LE(p);
}
inline std::uint32_t readU32(const std::uint8_t* p, ByteOrder order) {
    return order == ByteOrder::Big ? readU32BE(p) : readU32LE(p);
}

class BlockView {
public:
    explicit BlockView(std::span<const std::uint8_t> bytes, ByteOrder order = ByteOrder::Little)
        : bytes_(bytes), order_(order) {}
    explicit BlockView(const Block& block, ByteOrder order = ByteOrder::Little) : bytes_(block), order_(order) {}

    int size() const { return static_cast<int>(bytes_.size()); }
    ByteOrder byteOrder() const { return order_; }
    // The same order over other bytes (a part of this block, a copy of it).
    BlockView over(std::span<const std::uint8_t> bytes) const { return BlockView(bytes, order_); }

    // Whether the whole range lies inside the block (an empty range at its end does).
    bool contains(long offset, long length = 1) const {
        return offset >= 0 && length >= 0 && offset <= static_cast<long>(bytes_.size()) - length;
    }

    std::optional<std::uint8_t> u8(long off) const {
        if (!contains(off, 1)) return std::nullopt;
        return bytes_[static_cast<std::size_t>(off)];
    }
    // An integer of the block structure, in the file's byte order.
    std::optional<std::uint16_t> u16(long off) const {
        if (!contains(off, 2)) return std::nullopt;
        return readU16(bytes_.data() + off, order_);
    }
    std::optional<std::uint32_t> u32(long off) const {
        if (!contains(off, 4)) return std::nullopt;
        return readU32(bytes_.data() + off, order_);
    }
    // Row-piece addresses: big-endian in every file.
    std::optional<std::uint16_t> u16be(long off) const {
        if (!contains(off, 2)) return std::nullopt;
        return readU16BE(bytes_.data() + off);
    }
    std::optional<std::uint32_t> u32be(long off) const {
        if (!contains(off, 4)) return std::nullopt;
        return readU32BE(bytes_.data() + off);
    }
    // An empty span when any byte of the range lies outside the block.
    std::span<const std::uint8_t> bytes(long off, long len) const {
        if (!contains(off, len)) return {};
        return bytes_.subspan(static_cast<std::size_t>(off), static_cast<std::size_t>(len));
    }

    std::span<const std::uint8_t> raw() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
    ByteOrder order_;
};

}  // namespace restorix
