#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "platform/byte_scan.h"
#include "platform/codepage.h"
#include "platform/terminal_text.h"
#include "platform/utf8.h"

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

// A byte set, its scan and the one-byte-at-a-time scan that stands in where
// there are no vectors.
struct ScanCase {
    const char* name;
    std::size_t (*scan)(std::span<const std::uint8_t>);
    std::size_t (*scanByteByByte)(std::span<const std::uint8_t>);
    bool (*contains)(std::uint8_t);
};
void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

template <ByteSet kSet>
ScanCase scanCase(const char* name) {
    return {name,
            [](std::span<const std::uint8_t> bytes) {
                return static_cast<std::size_t>(firstByteIn<kSet>(bytes.data(), bytes.data() + bytes.size()) -
                                                bytes.data());
            },
            [](std::span<const std::uint8_t> bytes) {
                return static_cast<std::size_t>(
                    byte_scan::firstInByteByByte<kSet>(bytes.data(), bytes.data() + bytes.size()) - bytes.data());
            },
            [](std::uint8_t byte) { return kSet.contains(byte); }};
}

class ByteScanTable : public ::testing::TestWithParam<ScanCase> {};

// Texts of every length up to a few 64-byte steps, each byte value of the
// set at every place and another after it: the first is found by both
// scans; a byte outside the set is passed over.
TEST_P(ByteScanTable, FindsTheFirstByteOfTheSetAnywhere) {
    const ScanCase& scan = GetParam();
    std::vector<std::uint8_t> members;
    for (int b = 0; b < 256; ++b)
        if (scan.contains(static_cast<std::uint8_t>(b))) members.push_back(static_cast<std::uint8_t>(b));
    ASSERT_FALSE(scan.contains('a'));
    for (std::size_t length = 0; length <= 150; ++length) {
        std::vector<std::uint8_t> text(length, 'a');
        ASSERT_EQ(scan.scan(text), length);
        ASSERT_EQ(scan.scanByteByByte(text), length);
        for (std::size_t at = 0; at < length; ++at) {
            text[at] = members[(length + at) % members.size()];
            if (at + 1 < length) text[length - 1] = members.front();
            ASSERT_EQ(scan.scan(text), at) << length;
            ASSERT_EQ(scan.scanByteByByte(text), at) << length;
            text.assign(length, 'a');
        }
    }
    for (int b = 0; b < 256; ++b) {
        std::vector<std::uint8_t> text(40, 'a');
        text[21] = static_cast<std::uint8_t>(b);
        EXPECT_EQ(scan.scan(text), scan.contains(text[21]) ? 21u : 40u) << "byte " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ByteScanTable,
    ::testing::Values(scanCase<ByteSet{.nonAscii = true}>("NonAscii"),
                      scanCase<ByteSet{.below = 1, .nonAscii = true}>("ZeroOrNonAscii"),
                      scanCase<ByteSet{.below = 0x20}>("Controls"),
                      scanCase<ByteSet{.listed = {'\'', '&', '\r', '\n'}, .listedCount = 4}>("Listed"),
                      scanCase<ByteSet{.below = 1, .nonAscii = true, .listed = {'\'', '\n'}, .listedCount = 2}>(
                          "AllThree")),
    [](const auto& info) { return std::string(info.param.name); });

// One UTF-8 sequence at the start of a text: what it is, its code point, and
// how many bytes it takes.
struct Utf8Case {
    const char* name;
    std::string bytes;
    Utf8Form form;
    char32_t codePoint;
    std::size_t length;
};
void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }

class Utf8Table : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Table, DecodesOneSequence) {
    const Utf8Sequence sequence = decodeUtf8(std::string_view(GetParam().bytes));
    EXPECT_EQ(sequence.form, GetParam().form);
    EXPECT_EQ(sequence.codePoint, GetParam().codePoint);
    EXPECT_EQ(sequence.length, GetParam().length);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8Table,
    ::testing::Values(
        Utf8Case{"Ascii", "Ab", Utf8Form::Valid, U'A', 1},
        Utf8Case{"Zero", std::string(1, '\0'), Utf8Form::Valid, 0, 1},
        Utf8Case{"TwoBytes", "\xC3\xA9x", Utf8Form::Valid, 0xE9, 2},
        Utf8Case{"ThreeBytes", "\xE2\x82\xAC", Utf8Form::Valid, 0x20AC, 3},
        Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", Utf8Form::Valid, 0x1F600, 4},
        Utf8Case{"LastCodePoint", "\xF4\x8F\xBF\xBF", Utf8Form::Valid, 0x10FFFF, 4},
        Utf8Case{"OverlongTwo", "\xC0\x80", Utf8Form::Overlong, 0, 2},
        Utf8Case{"OverlongThree", "\xE0\x81\x81", Utf8Form::Overlong, 0x41, 3},
        Utf8Case{"OverlongFour", "\xF0\x8F\xBF\xBF", Utf8Form::Overlong, 0xFFFF, 4},
        Utf8Case{"OverlongSurrogate", "\xF0\x8D\xA0\x80", Utf8Form::Overlong, 0xD800, 4},
        Utf8Case{"HighSurrogate", "\xED\xA0\x80", Utf8Form::Surrogate, 0xD800, 3},
        Utf8Case{"LowSurrogate", "\xED\xBF\xBF", Utf8Form::Surrogate, 0xDFFF, 3},
        Utf8Case{"BeyondUnicode", "\xF4\x90\x80\x80", Utf8Form::BeyondUnicode, 0x110000, 4},
        Utf8Case{"LeadF7", "\xF7\xBF\xBF\xBF", Utf8Form::BeyondUnicode, 0x1FFFFF, 4},
        Utf8Case{"TruncatedAfterLead", "\xE2", Utf8Form::Truncated, kReplacementCharacter, 1},
        Utf8Case{"TruncatedAfterTwo", "\xF0\x9F\x98", Utf8Form::Truncated, kReplacementCharacter, 3},
        Utf8Case{"BrokenAtSecond", "\xE2" "A\xAC", Utf8Form::Malformed, kReplacementCharacter, 1},
        Utf8Case{"BrokenAtFourth", "\xF0\x9F\x98" "A", Utf8Form::Malformed, kReplacementCharacter, 3},
        Utf8Case{"LoneContinuation", "\x80" "A", Utf8Form::Malformed, kReplacementCharacter, 1},
        Utf8Case{"LeadF8", "\xF8\x88\x80\x80\x80", Utf8Form::Malformed, kReplacementCharacter, 1},
        Utf8Case{"LeadFF", "\xFF", Utf8Form::Malformed, kReplacementCharacter, 1}),
    [](const auto& info) { return std::string(info.param.name); });

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
