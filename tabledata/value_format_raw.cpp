// RAW and LONG RAW values: upper-case hexadecimal.

#include <array>
#include <cstring>

#include "platform/codepage.h"
#include "tabledata/value_format.h"
#include "tabledata/value_format_parts.h"

namespace restorix {

using namespace value_format_parts;

namespace {

// The two hexadecimal digits of every byte value, one copy per byte.
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> pairs{};
    for (std::size_t b = 0; b < 256; ++b) {
        pairs[2 * b] = kUpperHexDigits[b >> 4];
        pairs[2 * b + 1] = kUpperHexDigits[b & 0x0F];
    }
    return pairs;
}();

}  // namespace

// Two characters per byte.
char* writeHex(Bytes bytes, char* at) {
    for (const std::uint8_t b : bytes) {
        std::memcpy(at, &kHexPairs[2 * std::size_t{b}], 2);
        at += 2;
    }
    return at;
}

namespace value_format_parts {

ValueKind rawValue(Bytes bytes, std::string& text) {
    appendWritten(text, 2 * bytes.size(), [&](char* at) { return writeHex(bytes, at); });
    return ValueKind::Raw;
}

}  // namespace value_format_parts

}  // namespace restorix
