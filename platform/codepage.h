#pragma once
// The datafile's 8-bit text and every file we write use Windows-1252.
// Inside the program text is UTF-8; these two functions are the only crossing.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/utf8.h"

namespace restorix {

// Bytes in the code page to UTF-8. The five bytes the code page leaves
// undefined (81 8D 8F 90 9D) map to U+0081 ... so that they round-trip.
std::string fromCodePage(std::span<const std::uint8_t> bytes);
std::string fromCodePage(std::string_view bytes);
// The same, appended to `out`: runs of ASCII bytes are copied whole.
void appendFromCodePage(std::string& out, std::span<const std::uint8_t> bytes);

// One code point appended to `out` in UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

// The digits of upper-case hexadecimal, as RAW values and \XXXX escapes
// are written.
inline constexpr std::string_view kUpperHexDigits = "0123456789ABCDEF";

// Whether every byte is below 0x80, which the code page and UTF-8 spell alike.
bool isAscii(std::string_view text);

// UTF-8 to code-page bytes; a character the code page lacks becomes '?'.
// Malformed UTF-8 sequences also become '?'.
std::string toCodePage(std::string_view utf8);

// Whether the bytes are well-formed UTF-8.
bool isUtf8(std::string_view bytes);

// A database that stores UTF-8 (AL32UTF8, UTF8) is read through the code page
// like any other, so its stored bytes come back byte for byte when a text is
// written (scripts keep them unchanged). For showing such a text, and for file
// names, this gives the characters its stored bytes spell in UTF-8; a text
// whose stored bytes are no UTF-8 is returned as it is.
std::string storedUtf8Text(std::string_view codePageText);

// Whether a byte is an ASCII control character: C0 (below a blank) or DEL.
constexpr bool isAsciiControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

// Number of characters (code points) in a UTF-8 text, and the text without
// its first n characters: texts are cut by characters, as the scripts count them.
std::size_t characterCount(std::string_view utf8);
std::string_view dropCharacters(std::string_view utf8, std::size_t n);

}  // namespace restorix
