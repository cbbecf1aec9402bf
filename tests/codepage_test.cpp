#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "platform/terminal_text.h"

using namespace restorix;

TEST(CodePage, EveryByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(toCodePage(fromCodePage(byte)), byte) << "byte " << b;
    }
}

struct CodePageCase {
    std::string bytes;
    std::string utf8;
};
class CodePageMapping : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(CodePageMapping, DecodesAndEncodes) {
    EXPECT_EQ(fromCodePage(GetParam().bytes), GetParam().utf8);
    EXPECT_EQ(toCodePage(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Table, CodePageMapping,
                         ::testing::Values(CodePageCase{"ABC", "ABC"},
                                           CodePageCase{"\x80", "\u20AC"},
                                           CodePageCase{"\xAF\xAF", "\u00AF\u00AF"},
                                           CodePageCase{"\x9F", "\u0178"},
                                           CodePageCase{"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"},
                                           CodePageCase{"\xE9t\xE9", "\u00E9t\u00E9"}));

TEST(CodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(toCodePage("a\u4E2Db\U0001F600c"), "a?b?c");
    EXPECT_EQ(toCodePage("x\xC3"), "x?");       // truncated sequence
    EXPECT_EQ(toCodePage("\xFF" "a"), "?a");     // invalid lead byte
}

TEST(CodePage, CutsTextsByCharacters) {
    const std::string text = "\u00C9T\u00C9 ok";
    EXPECT_EQ(characterCount(text), 6u);
    EXPECT_EQ(dropCharacters(text, 2), "\u00C9 ok");
    EXPECT_EQ(dropCharacters(text, 20), "");
    EXPECT_EQ(dropCharacters("PROCEDURE P1", 9), " P1");
}

// One byte of 0x80 or above at every place of texts of every length up to a
// few 64-byte steps of the scan, or none: found wherever it is, and each
// converted in place after what the text already held.
TEST(CodePage, FindsANonAsciiByteAnywhere) {
    for (std::size_t length = 0; length <= 150; ++length) {
        const std::string ascii(length, 'a');
        EXPECT_TRUE(isAscii(ascii)) << length;
        for (std::size_t at = 0; at < length; ++at) {
            std::string bytes = ascii;
            bytes[at] = '\x80';
            ASSERT_FALSE(isAscii(bytes)) << length << " " << at;
            std::string out = "x";
            appendFromCodePage(out, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
            ASSERT_EQ(out, "x" + ascii.substr(0, at) + "\u20AC" + ascii.substr(at + 1)) << length << " " << at;
        }
    }
}

namespace {

struct StoredUtf8Case {
    const char* name;
    std::string storedBytes;
    std::string shown;  // UTF-8
};
void PrintTo(const StoredUtf8Case& c, std::ostream* os) { *os << c.name; }

class StoredUtf8 : public ::testing::TestWithParam<StoredUtf8Case> {};

TEST_P(StoredUtf8, ShowsTheCharactersTheStoredBytesSpell) {
    const std::string read = restorix::fromCodePage(GetParam().storedBytes);
    EXPECT_EQ(restorix::storedUtf8Text(read), GetParam().shown);
    EXPECT_EQ(restorix::toCodePage(read), GetParam().storedBytes) << "what scripts write stays the stored bytes";
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredUtf8,
    ::testing::Values(StoredUtf8Case{"Ascii", "EMP_1", "EMP_1"},
                      StoredUtf8Case{"TwoByteCharacter", "caf\xC3\xA9", "caf\u00E9"},
                      StoredUtf8Case{"EuroAndEmoji", "\xE2\x82\xAC \xF0\x9F\x98\x80", "\u20AC \U0001F600"},
                      StoredUtf8Case{"ReplacementCharacterItself", "\xEF\xBF\xBD", "\uFFFD"},
                      StoredUtf8Case{"NoUtf8KeptAsRead", "\xE9t\xE9", "\u00E9t\u00E9"},
                      StoredUtf8Case{"CutSequenceKeptAsRead", "ab\xE2\x82", "ab\u00E2\u201A"}),
    [](const auto& info) { return std::string(info.param.name); });

// Names and values as a terminal is given them: no control character reaches
// it as such; printable text, UTF-8 and backslashes pass unchanged.
struct TerminalCase {
    const char* name;
    std::string text;
    LineFeeds lineFeeds;
    std::string shown;
};
void PrintTo(const TerminalCase& c, std::ostream* os) { *os << c.name; }

class TerminalTextTable : public ::testing::TestWithParam<TerminalCase> {};

TEST_P(TerminalTextTable, ShowsControlCharactersAsEscapes) {
    EXPECT_EQ(terminalText(GetParam().text, GetParam().lineFeeds), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TerminalTextTable,
    ::testing::Values(
        TerminalCase{"Plain", "HR.EMP_2", LineFeeds::Escaped, "HR.EMP_2"},
        TerminalCase{"Utf8AndBackslash", "caf\u00E9\\\u4E2D\u00A0", LineFeeds::Escaped, "caf\u00E9\\\u4E2D\u00A0"},
        TerminalCase{"EscapeSequence", "EMP\x1B[2J\x1B]0;owned\x07", LineFeeds::Escaped,
                     "EMP\\x1B[2J\\x1B]0;owned\\x07"},
        TerminalCase{"LineBreaksInAName", "A\r\nB\tC", LineFeeds::Escaped, "A\\x0D\\x0AB\\x09C"},
        TerminalCase{"LineFeedOfAMessage", "first\nsecond\r", LineFeeds::Kept, "first\nsecond\\x0D"},
        TerminalCase{"NulAndDelete", std::string("A\0B\x7F", 4), LineFeeds::Escaped, "A\\x00B\\x7F"},
        TerminalCase{"C1ControlsAsUtf8", "A\u009B31mB\u0085\u00A0", LineFeeds::Escaped, "A\\xC2\\x9B31mB\\xC2\\x85\u00A0"},
        TerminalCase{"CutC1Lead", "A\xC2", LineFeeds::Escaped, "A\xC2"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
