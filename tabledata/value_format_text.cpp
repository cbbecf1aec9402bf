// CHAR and VARCHAR2 values (8-bit code-page bytes) and NCHAR and NVARCHAR2
// values (the national character set).

#include <cstring>

#include "platform/byte_scan.h"
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

void appendPlain(std::string& text, Bytes bytes) {
    text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

// Whether no byte is zero or 0x80 and above: such text reads the same in the
// code page and in UTF-8, and the text types' zero rules leave it alone.
bool isPlainAscii(Bytes bytes) {
    constexpr ByteSet kZeroOrNonAscii{.below = 1, .nonAscii = true};
    return noByteIn<kZeroOrNonAscii>(bytes);
}

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
