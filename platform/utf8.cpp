#include "platform/utf8.h"

#include <array>

namespace restorix {

namespace {

constexpr std::uint8_t kFirstNonAscii = 0x80;
constexpr std::uint8_t kContinuationMask = 0xC0;
constexpr std::uint8_t kContinuationTag = 0x80;
constexpr std::uint8_t kContinuationBits = 0x3F;
constexpr int kBitsPerContinuation = 6;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

// A lead byte: the bits that tag it, the length of its sequence, and the
// mask of the code point's bits it carries.
struct LeadByte {
    std::uint8_t tagMask;
    std::uint8_t tag;
    std::size_t length;
    std::uint8_t valueBits;
};

constexpr std::array<LeadByte, 3> kLeadBytes = {{
    {0xE0, 0xC0, 2, 0x1F},
    {0xF0, 0xE0, 3, 0x0F},
    {0xF8, 0xF0, 4, 0x07},
}};

// The smallest code point each length of sequence is meant for.
constexpr std::array<char32_t, kLongestUtf8Sequence + 1> kSmallestOfLength = {0, 0, 0x80, 0x800, 0x10000};

Utf8Form formOf(char32_t codePoint, std::size_t length) {
    if (codePoint < kSmallestOfLength[length]) return Utf8Form::Overlong;
    if (codePoint >= kFirstSurrogate && codePoint <= kLastSurrogate) return Utf8Form::Surrogate;
    if (codePoint > kLargestCodePoint) return Utf8Form::BeyondUnicode;
    return Utf8Form::Valid;
}

}  // namespace

Utf8Sequence decodeUtf8(std::span<const std::uint8_t> bytes) {
    const std::uint8_t lead = bytes[0];
    if (lead < kFirstNonAscii) return {lead, 1, Utf8Form::Valid};
    for (const LeadByte& kind : kLeadBytes) {
        if ((lead & kind.tagMask) != kind.tag) continue;
        char32_t codePoint = lead & kind.valueBits;
        for (std::size_t i = 1; i < kind.length; ++i) {
            if (i == bytes.size()) return {kReplacementCharacter, i, Utf8Form::Truncated};
            if ((bytes[i] & kContinuationMask) != kContinuationTag)
                return {kReplacementCharacter, i, Utf8Form::Malformed};
            codePoint = (codePoint << kBitsPerContinuation) | (bytes[i] & kContinuationBits);
        }
        return {codePoint, kind.length, formOf(codePoint, kind.length)};
    }
    return {kReplacementCharacter, 1, Utf8Form::Malformed};
}

}  // namespace restorix
