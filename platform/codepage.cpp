#include "platform/codepage.h"

#include <array>
#include <cstddef>

#include "platform/byte_scan.h"
#include "platform/utf8.h"

namespace restorix {
namespace {

// The bytes beyond ASCII, where the code page and UTF-8 part ways.
constexpr ByteSet kNonAscii{.nonAscii = true};

const std::uint8_t* firstNonAscii(const std::uint8_t* at, const std::uint8_t* end) {
    return firstByteIn<kNonAscii>(at, end);
}

// Unicode code points of bytes 80 to 9F; the undefined bytes map to themselves.
constexpr std::array<char32_t, 32> kHighControlBlock = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t codePointOf(std::uint8_t byte) {
    if (byte >= 0x80 && byte < 0xA0) return kHighControlBlock[byte - 0x80];
    return byte;
}

char byteOf(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControlBlock.size(); ++i) {
        if (kHighControlBlock[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

// Decodes one UTF-8 sequence at text[pos]; advances pos past the bytes read.
// Returns U+FFFD for a sequence cut short or broken (which the code page then
// writes as '?'); a whole sequence gives the code point its bits spell, an
// overlong one too.
char32_t nextCodePoint(std::string_view text, std::size_t& pos) {
    const Utf8Sequence sequence = decodeUtf8(text.substr(pos));
    pos += sequence.length;
    return sequence.codePoint;
}

}  // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string fromCodePage(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size());
    appendFromCodePage(out, bytes);
    return out;
}

void appendFromCodePage(std::string& out, std::span<const std::uint8_t> bytes) {
    const std::uint8_t* at = bytes.data();
    const std::uint8_t* const end = at + bytes.size();
    while (at != end) {
        const std::uint8_t* const runEnd = firstNonAscii(at, end);
        out.append(reinterpret_cast<const char*>(at), static_cast<std::size_t>(runEnd - at));
        if (runEnd == end) break;
        appendUtf8(out, codePointOf(*runEnd));
        at = runEnd + 1;
    }
}

bool isAscii(std::string_view text) { return noByteIn<kNonAscii>(text); }

std::string fromCodePage(std::string_view bytes) {
    return fromCodePage(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string toCodePage(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto* const start = reinterpret_cast<const std::uint8_t*>(utf8.data());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // ASCII is the same in both: copied a run at a time.
        const auto runEnd = static_cast<std::size_t>(firstNonAscii(start + pos, start + utf8.size()) - start);
        out.append(utf8.substr(pos, runEnd - pos));
        pos = runEnd;
        if (pos < utf8.size()) out.push_back(byteOf(nextCodePoint(utf8, pos)));
    }
    return out;
}

bool isUtf8(std::string_view bytes) {
    constexpr std::string_view kEncodedReplacement = "\xEF\xBF\xBD";
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t start = pos;
        const char32_t codePoint = nextCodePoint(bytes, pos);
        if (codePoint == kReplacementCharacter && bytes.substr(start, pos - start) != kEncodedReplacement) return false;
    }
    return true;
}

std::string storedUtf8Text(std::string_view codePageText) {
    if (isAscii(codePageText)) return std::string(codePageText);
    std::string stored = toCodePage(codePageText);
    return isUtf8(stored) ? stored : std::string(codePageText);
}

std::size_t characterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        if (!isUtf8Continuation(c)) ++count;
    }
    return count;
}

std::string_view dropCharacters(std::string_view utf8, std::size_t n) {
    std::size_t pos = 0;
    while (n > 0 && pos < utf8.size()) {
        ++pos;
        while (pos < utf8.size() && isUtf8Continuation(utf8[pos])) ++pos;
        --n;
    }
    return utf8.substr(pos);
}

}  // namespace restorix
