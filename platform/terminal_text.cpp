#include "platform/terminal_text.h"

#include "platform/codepage.h"

namespace restorix {

namespace {

constexpr unsigned char kC1Lead = 0xC2;  // UTF-8 of U+0080 to U+009F: C2 80 to C2 9F
constexpr unsigned char kFirstC1 = 0x80;
constexpr unsigned char kLastC1 = 0x9F;

void appendEscapedByte(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kUpperHexDigits[byte >> 4];
    out += kUpperHexDigits[byte & 0x0F];
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
        } else if (byte == kC1Lead && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= kFirstC1 &&
                   static_cast<unsigned char>(text[i + 1]) <= kLastC1) {
            appendEscapedByte(out, byte);
            appendEscapedByte(out, static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace restorix
