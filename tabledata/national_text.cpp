#include "tabledata/national_text.h"

#include <optional>

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace restorix {

NationalCharset nationalCharsetNamed(std::string_view name) {
    return name == "UTF8" ? NationalCharset::Utf8 : NationalCharset::Al16Utf16;
}

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr char32_t kFirstSupplementary = 0x10000;

char32_t joinSurrogates(char32_t high, char32_t low) {
    return kFirstSupplementary + ((high - kFirstHighSurrogate) << 10) + (low - kFirstLowSurrogate);
}

// The code point (or surrogate) whose UTF-8 sequence starts at `at`; moves
// `at` past it. Nothing for a malformed, cut short, overlong or beyond-Unicode
// sequence. An encoded surrogate is read: UTF8 stores a supplementary
// character as two of them.
std::optional<char32_t> nextUtf8(Bytes bytes, std::size_t& at) {
    const Utf8Sequence sequence = decodeUtf8(bytes.subspan(at));
    if (sequence.form != Utf8Form::Valid && sequence.form != Utf8Form::Surrogate) return std::nullopt;
    at += sequence.length;
    return sequence.codePoint;
}

// Code units (UTF-16 units, or code points and encoded surrogates from
// UTF-8) joined into UTF-8: a high surrogate must be followed by a low one.
class SurrogateJoiner {
public:
    explicit SurrogateJoiner(std::string& out) : out_(out) {}

    bool add(char32_t unit) {
        if (pendingHigh_ != 0) {
            if (!isLowSurrogate(unit)) return false;
            appendUtf8(out_, joinSurrogates(pendingHigh_, unit));
            pendingHigh_ = 0;
            return true;
        }
        if (isHighSurrogate(unit)) {
            pendingHigh_ = unit;
            return true;
        }
        if (isLowSurrogate(unit)) return false;
        appendUtf8(out_, unit);
        return true;
    }

    bool complete() const { return pendingHigh_ == 0; }

private:
    std::string& out_;
    char32_t pendingHigh_ = 0;
};

bool appendUtf16(std::string& out, Bytes bytes) {
    if (bytes.size() % 2 != 0) return false;
    SurrogateJoiner joiner(out);
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        if (!joiner.add(static_cast<char32_t>(bytes[i] << 8 | bytes[i + 1]))) return false;
    return joiner.complete();
}

bool appendFromUtf8(std::string& out, Bytes bytes) {
    SurrogateJoiner joiner(out);
    for (std::size_t at = 0; at < bytes.size();) {
        const std::optional<char32_t> c = nextUtf8(bytes, at);
        if (!c || !joiner.add(*c)) return false;
    }
    return joiner.complete();
}

void appendEscapedUnit(std::string& out, char32_t unit) {
    out.push_back('\\');
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kUpperHexDigits[(unit >> shift) & 0x0F]);
}

bool standsForItself(char32_t c) { return c >= 0x20 && c < 0x7F && c != '\'' && c != '\\' && c != '&'; }

}  // namespace

bool appendNationalText(std::string& out, Bytes bytes, NationalCharset charset) {
    const std::size_t start = out.size();
    const bool read = charset == NationalCharset::Utf8 ? appendFromUtf8(out, bytes) : appendUtf16(out, bytes);
    if (!read) out.resize(start);
    return read;
}

std::u16string utf16Units(std::string_view utf8) {
    const Bytes bytes(reinterpret_cast<const std::uint8_t*>(utf8.data()), utf8.size());
    std::u16string units;
    units.reserve(utf8.size());
    for (std::size_t at = 0; at < bytes.size();) {
        const std::optional<char32_t> read = nextUtf8(bytes, at);
        if (!read) ++at;
        const char32_t c = read.value_or(kReplacementCharacter);
        if (c >= kFirstSupplementary) {
            const char32_t offset = c - kFirstSupplementary;
            units.push_back(static_cast<char16_t>(kFirstHighSurrogate + (offset >> 10)));
            units.push_back(static_cast<char16_t>(kFirstLowSurrogate + (offset & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(c));
        }
    }
    return units;
}

void appendUnistrContent(std::string& out, std::string_view utf8) {
    for (const char16_t unit : utf16Units(utf8)) {
        if (standsForItself(unit))
            out.push_back(static_cast<char>(unit));
        else
            appendEscapedUnit(out, unit);
    }
}

}  // namespace restorix
