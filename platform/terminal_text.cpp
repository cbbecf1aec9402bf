#include "platform/terminal_text.h"

#include "platform/codepage.h"
#include "platform/utf8.h"

namespace restorix {

namespace {

constexpr unsigned char kC1Lead = 0xC2;  // UTF-8 of U+0080 to U+009F: C2 80 to C2 9F
constexpr char32_t kFirstC1 = 0x80;
constexpr char32_t kLastC1 = 0x9F;

void appendEscapedByte(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kUpperHexDigits[byte >> 4];
    out += kUpperHexDigits[byte & 0x0F];
}

// The length of the C1 control character that starts `text` in UTF-8; 0
// when none does.
std::size_t c1ControlLength(std::string_view text) {
    if (static_cast<unsigned char>(text[0]) != kC1Lead) return 0;
    const Utf8Sequence sequence = decodeUtf8(text);
    const bool control =
        sequence.form == Utf8Form::Valid && sequence.codePoint >= kFirstC1 && sequence.codePoint <= kLastC1;
    return control ? sequence.length : 0;
}

}  // namespace

std::string terminalText(std::string_view text, LineFeeds lineFeeds) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool keptLineFeed = byte == '\n' && lineFeeds == LineFeeds::Kept;
        if (isAsciiControl(text[i]) && !keptLineFeed) {
            appendEscapedByte(out, byte);
        } else if (const std::size_t length = c1ControlLength(text.substr(i))) {
            for (const char c : text.substr(i, length)) appendEscapedByte(out, static_cast<unsigned char>(c));
            i += length - 1;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace restorix
