#pragma once
// The first byte of a text that needs care: a zero byte, a control
// character, a byte beyond ASCII, a quote. Texts are scanned sixteen bytes
// at a time, sixty-four while none is found, as most values hold no such
// byte, and a shorter text eight or four at a time; a processor without SSE2
// or NEON scans them one byte at a time.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <type_traits>
#include <utility>

namespace restorix {

// The bytes a scan stops at: every byte below `below` (1 for the zero byte,
// 0x20 for the C0 controls), every byte of 0x80 and above when `nonAscii`,
// and up to four bytes listed by name.
struct ByteSet {
    static constexpr std::size_t kMostListed = 4;
    static constexpr std::uint8_t kFirstNonAscii = 0x80;

    std::uint8_t below = 0;
    bool nonAscii = false;
    std::array<std::uint8_t, kMostListed> listed{};
    std::size_t listedCount = 0;

    constexpr bool contains(std::uint8_t byte) const {
        if (byte < below || (nonAscii && byte >= kFirstNonAscii)) return true;
        for (std::size_t i = 0; i < listedCount; ++i)
            if (listed[i] == byte) return true;
        return false;
    }
};

namespace byte_scan {

// Whether each byte value is in the set.
template <ByteSet kSet>
inline constexpr std::array<bool, 256> kMembers = [] {
    std::array<bool, 256> members{};
    for (std::size_t b = 0; b < members.size(); ++b) members[b] = kSet.contains(static_cast<std::uint8_t>(b));
    return members;
}();

// The first byte from `at` on that is in the set, or `end`, one byte at a
// time: the scan where there are no vectors, and for the last few bytes of
// a short text.
template <ByteSet kSet>
inline const std::uint8_t* firstInByteByByte(const std::uint8_t* at, const std::uint8_t* end) {
    while (at != end && !kMembers<kSet>[*at]) ++at;
    return at;
}

#if defined(__GNUC__) && (defined(__SSE2__) || defined(__ARM_NEON))

// The compiler turns the operations on these types into the processor's
// vector instructions.
using Vector16 = std::uint8_t __attribute__((vector_size(16)));
using Vector8 = std::uint8_t __attribute__((vector_size(8)));
using Vector4 = std::uint8_t __attribute__((vector_size(4)));
inline constexpr std::size_t kVectorLength = sizeof(Vector16);
inline constexpr std::size_t kVectorsPerStep = 4;
constexpr std::size_t kBytesPerWord = sizeof(std::uint64_t);

template <typename Vector>
inline Vector load(const std::uint8_t* at) {
    Vector bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

// The lanes whose byte is one of the listed ones; one comparison per byte,
// each with its byte as a constant.
template <ByteSet kSet, typename Vector, std::size_t... kIndex>
inline Vector listedMembers([[maybe_unused]] Vector bytes, std::index_sequence<kIndex...>) {
    Vector found{};
    ((found |= bytes == std::integral_constant<std::uint8_t, kSet.listed[kIndex]>::value), ...);
    return found;
}

// 0xFF in each lane whose byte is in the set, 0 in the others.
template <ByteSet kSet, typename Vector>
inline Vector members(Vector bytes) {
    Vector found = listedMembers<kSet>(bytes, std::make_index_sequence<kSet.listedCount>{});
    if constexpr (kSet.below > 0) found |= bytes < kSet.below;
    if constexpr (kSet.nonAscii) found |= bytes >= ByteSet::kFirstNonAscii;
    return found;
}

// Whether any lane of `found` is set.
template <typename Vector>
inline bool anySet(Vector found) {
    std::array<std::uint64_t, (sizeof(Vector) + kBytesPerWord - 1) / kBytesPerWord> words{};
    std::memcpy(words.data(), &found, sizeof found);
    std::uint64_t any = 0;
    for (const std::uint64_t word : words) any |= word;
    return any != 0;
}

// The first lane of `found` that is set, or the vector's length when none is.
template <typename Vector>
inline std::size_t firstSetLane(Vector found) {
    std::array<std::uint64_t, (sizeof(Vector) + kBytesPerWord - 1) / kBytesPerWord> words{};
    std::memcpy(words.data(), &found, sizeof found);
    for (std::size_t w = 0; w < words.size(); ++w) {
        if (words[w] == 0) continue;
        // A vector narrower than a word fills its first bytes in memory.
        const int bit = std::endian::native == std::endian::little ? std::countr_zero(words[w])
                                                                   : std::countl_zero(words[w]);
        return w * kBytesPerWord + static_cast<std::size_t>(bit) / 8;
    }
    return sizeof(Vector);
}

// The first byte of the set in the vector at `at`, or nullptr.
template <ByteSet kSet, typename Vector>
inline const std::uint8_t* firstInVector(const std::uint8_t* at) {
    const Vector found = members<kSet>(load<Vector>(at));
    return anySet(found) ? at + firstSetLane(found) : nullptr;
}

template <ByteSet kSet>
inline bool anyInStep(const std::uint8_t* at) {
    return anySet(members<kSet>(load<Vector16>(at)) | members<kSet>(load<Vector16>(at + kVectorLength)) |
                  members<kSet>(load<Vector16>(at + 2 * kVectorLength)) |
                  members<kSet>(load<Vector16>(at + 3 * kVectorLength)));
}

// A text of `sizeof(Vector)` to twice as many bytes: its first bytes and its
// last, which overlap them.
template <ByteSet kSet, typename Vector>
inline const std::uint8_t* firstInTwoVectors(const std::uint8_t* at, const std::uint8_t* end) {
    if (const std::uint8_t* const found = firstInVector<kSet, Vector>(at)) return found;
    const std::uint8_t* const found = firstInVector<kSet, Vector>(end - sizeof(Vector));
    return found ? found : end;
}

// A text of one to three bytes: its first, middle and last byte, which are
// all of them in their order, in the lanes of one small vector.
template <ByteSet kSet>
inline const std::uint8_t* firstInTiny(const std::uint8_t* at, const std::uint8_t* end) {
    const std::array<const std::uint8_t*, 3> places = {at, at + (end - at) / 2, end - 1};
    const Vector4 bytes = {*places[0], *places[1], *places[2], *places[2]};
    const std::size_t lane = firstSetLane(members<kSet>(bytes));
    return lane == sizeof(Vector4) ? end : places[std::min(lane, places.size() - 1)];
}

// A text shorter than sixteen bytes.
template <ByteSet kSet>
inline const std::uint8_t* firstInShort(const std::uint8_t* at, const std::uint8_t* end) {
    const auto size = static_cast<std::size_t>(end - at);
    if (size >= sizeof(Vector8)) return firstInTwoVectors<kSet, Vector8>(at, end);
    if (size >= sizeof(Vector4)) return firstInTwoVectors<kSet, Vector4>(at, end);
    return size == 0 ? end : firstInTiny<kSet>(at, end);
}

// The first byte of the set from `at` on, or `end`.
template <ByteSet kSet>
inline const std::uint8_t* firstIn(const std::uint8_t* at, const std::uint8_t* end) {
    if (static_cast<std::size_t>(end - at) < kVectorLength) return firstInShort<kSet>(at, end);
    const std::uint8_t* const lastVector = end - kVectorLength;
    constexpr std::size_t kStep = kVectorsPerStep * kVectorLength;
    while (static_cast<std::size_t>(end - at) >= kStep && !anyInStep<kSet>(at)) at += kStep;
    for (; at <= lastVector; at += kVectorLength)
        if (const std::uint8_t* const found = firstInVector<kSet, Vector16>(at)) return found;
    // The last bytes, fewer than a vector: the text's last sixteen are
    // tested at once, those before `at` among them already passed.
    if (at == end) return end;
    const std::uint8_t* const found = firstInVector<kSet, Vector16>(lastVector);
    return found ? found : end;
}
#else
template <ByteSet kSet>
inline const std::uint8_t* firstIn(const std::uint8_t* at, const std::uint8_t* end) {
    return firstInByteByByte<kSet>(at, end);
}
#endif

}  // namespace byte_scan

// The first byte from `at` on that is in the set, or `end`.
template <ByteSet kSet>
inline const std::uint8_t* firstByteIn(const std::uint8_t* at, const std::uint8_t* end) {
    return byte_scan::firstIn<kSet>(at, end);
}

template <ByteSet kSet>
inline const char* firstByteIn(const char* at, const char* end) {
    const auto* const bytes = reinterpret_cast<const std::uint8_t*>(at);
    return at + (firstByteIn<kSet>(bytes, bytes + (end - at)) - bytes);
}

// Whether no byte of the text is in the set.
template <ByteSet kSet>
inline bool noByteIn(std::span<const std::uint8_t> bytes) {
    return firstByteIn<kSet>(bytes.data(), bytes.data() + bytes.size()) == bytes.data() + bytes.size();
}

template <ByteSet kSet>
inline bool noByteIn(std::string_view text) {
    return firstByteIn<kSet>(text.data(), text.data() + text.size()) == text.data() + text.size();
}

}  // namespace restorix
