#pragma once
// Text of the national character set (NCHAR, NVARCHAR2): decoded to UTF-8
// for display, and written back as the content of UNISTR('...') so a script
// carries it in plain ASCII whatever the client's character set.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "dictionary/catalog.h"

namespace restorix {

// UTF-16 surrogates: a high one and a low one together stand for one
// character beyond U+FFFF.
inline constexpr char32_t kFirstHighSurrogate = 0xD800;
inline constexpr char32_t kFirstLowSurrogate = 0xDC00;
inline constexpr char32_t kPastLowSurrogate = 0xE000;
constexpr bool isHighSurrogate(char32_t unit) { return unit >= kFirstHighSurrogate && unit < kFirstLowSurrogate; }
constexpr bool isLowSurrogate(char32_t unit) { return unit >= kFirstLowSurrogate && unit < kPastLowSurrogate; }

// The national character set a database names (its NLS_NCHAR_CHARACTERSET):
// UTF8, else AL16UTF16, the default.
NationalCharset nationalCharsetNamed(std::string_view name);

// Appends the UTF-8 form of stored national text: UTF-16 big-endian for
// AL16UTF16, UTF-8 (supplementary characters possibly as two encoded
// surrogates) for UTF8. False, with `out` unchanged, when the bytes are no
// text of that set (an odd length, a lone surrogate, a malformed sequence).
bool appendNationalText(std::string& out, std::span<const std::uint8_t> bytes, NationalCharset charset);

// The UTF-16 code units of a UTF-8 text, as AL16UTF16 stores it; a malformed
// sequence gives U+FFFD.
std::u16string utf16Units(std::string_view utf8);

// Appends what goes between UNISTR's apostrophes for a UTF-8 text: printable
// ASCII other than ' \ & as itself, every other UTF-16 code unit as \XXXX.
void appendUnistrContent(std::string& out, std::string_view utf8);

}  // namespace restorix
