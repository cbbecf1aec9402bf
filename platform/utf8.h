#pragma once
// The one reader of UTF-8 sequences. It tells what a sequence is; each
// caller decides what to do with one that is not well formed (replace it,
// reject the whole text, or accept the encoded surrogates a national
// character set may hold).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace restorix {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr char32_t kLargestCodePoint = 0x10FFFF;
inline constexpr std::size_t kLongestUtf8Sequence = 4;

// What the bytes at the start of a text are. A sequence whose lead byte
// and continuation bytes are all there is one of the first four forms and
// has its code point; a sequence cut short or broken is one of the last two.
enum class Utf8Form {
    Valid,
    Overlong,       // a longer sequence than the code point needs
    Surrogate,      // U+D800 to U+DFFF, which UTF-8 does not encode
    BeyondUnicode,  // above U+10FFFF
    Truncated,      // the text ends before the sequence's last byte
    Malformed,      // no lead byte, or a byte that does not continue the sequence
};

struct Utf8Sequence {
    char32_t codePoint = kReplacementCharacter;  // kReplacementCharacter when not complete
    // The bytes read: the whole sequence; for a truncated one the rest of the
    // text; for a malformed one its lead byte and the continuation bytes that
    // came before the one that broke it.
    std::size_t length = 1;
    Utf8Form form = Utf8Form::Malformed;

    bool complete() const { return form != Utf8Form::Truncated && form != Utf8Form::Malformed; }
};

// The sequence at the start of `bytes`, which holds at least one byte.
Utf8Sequence decodeUtf8(std::span<const std::uint8_t> bytes);

inline Utf8Sequence decodeUtf8(std::string_view text) {
    return decodeUtf8(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

// Whether a byte of UTF-8 continues a character rather than starting one.
constexpr bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace restorix
