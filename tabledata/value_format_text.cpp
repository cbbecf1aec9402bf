// CHAR and VARCHAR2 values (8-bit code-page bytes) and NCHAR and NVARCHAR2
// values (the national character set).

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"
#include "tabledata/national_text.h"
#include "tabledata/value_format.h"
#include "tabledata/value_format_parts.h"

namespace restorix {

using namespace value_format_parts;

namespace {

// The length of the bytes before the first zero byte (all of them without one).
std::size_t lengthBeforeZero(Bytes bytes) {
    const void* zero = bytes.empty() ? nullptr : std::memchr(bytes.data(), 0, bytes.size());
    return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - bytes.data()) : bytes.size();
}

// Sixteen bytes tested at once: the compiler turns the operations on this
// type into the processor's vector instructions.
using ByteVector = std::uint8_t __attribute__((vector_size(16)));
using WordPair = std::uint64_t __attribute__((vector_size(16)));
constexpr std::uint64_t kLowBits = 0x0101010101010101ull;
constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

bool plainVector(const std::uint8_t* at) {
    ByteVector bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    const auto odd = (bytes == 0) | (bytes >= 0x80);
    WordPair words;
    std::memcpy(&words, &odd, sizeof words);
    return (words[0] | words[1]) == 0;
}

// (w - 0x01...01) & ~w has the top bit of a byte set where the byte is zero
// (past the first zero, possibly others too), w where it is 0x80 or more.
bool plainWord(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return ((((word - kLowBits) & ~word) | word) & kHighBits) == 0;
}

}  // namespace

// Whether no byte is zero or 0x80 and above: such text reads the same in the
// code page and in UTF-8, and the text types' zero rules leave it alone. The
// last sixteen (or eight) bytes are tested again over the ones before them.
bool isPlainAscii(Bytes bytes) {
    const std::uint8_t* const data = bytes.data();
    const std::size_t size = bytes.size();
    constexpr std::size_t kVector = sizeof(ByteVector);
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if (size >= kVector) {
        for (std::size_t i = 0; i + kVector <= size; i += kVector)
            if (!plainVector(data + i)) return false;
        return plainVector(data + size - kVector);
    }
    if (size >= kWord) return plainWord(data) && plainWord(data + size - kWord);
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b != 0 && b < 0x80; });
}

namespace {

void appendPlain(std::string& text, Bytes bytes) {
    text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

namespace value_format_parts {

// NCHAR and NVARCHAR2 in the national character set.
ValueKind nationalValue(Bytes bytes, NationalCharset national, std::string& text) {
    if (!appendNationalText(text, bytes, national)) return undecodable(text);
    return ValueKind::NationalText;
}

// CHAR: a zero byte ends the value.
ValueKind charValue(Bytes bytes, TextBytes spelling, std::string& text) {
    if (isPlainAscii(bytes)) {
        appendPlain(text, bytes);
        return ValueKind::Text;
    }
    const Bytes value = bytes.first(lengthBeforeZero(bytes));
    if (spelling == TextBytes::CodePage)
        appendPlain(text, value);
    else
        appendFromCodePage(text, value);
    return ValueKind::Text;
}

// VARCHAR2: a zero byte becomes a space, so no character is lost.
ValueKind varchar2Value(Bytes bytes, TextBytes spelling, std::string& text) {
    if (isPlainAscii(bytes)) {
        appendPlain(text, bytes);
        return ValueKind::Text;
    }
    for (;;) {
        const std::size_t runLength = lengthBeforeZero(bytes);
        if (spelling == TextBytes::CodePage)
            appendPlain(text, bytes.first(runLength));
        else
            appendFromCodePage(text, bytes.first(runLength));
        if (runLength == bytes.size()) return ValueKind::Text;
        text.push_back(' ');
        bytes = bytes.subspan(runLength + 1);
    }
}

}  // namespace value_format_parts

}  // namespace restorix
