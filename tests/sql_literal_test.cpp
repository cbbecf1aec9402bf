#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tabledata/sql_literal.h"
#include "tabledata/value_format.h"

using namespace restorix;

namespace {

std::string itemOf(ValueKind kind, std::string_view text) {
    std::string item;
    appendSqlItem(item, kind, text);
    return item;
}

struct ItemCase {
    const char* name;
    ValueKind kind;
    std::string text;
    std::string item;
};

class SqlItem : public ::testing::TestWithParam<ItemCase> {};

TEST_P(SqlItem, RendersTheValueForAnInsert) {
    EXPECT_EQ(itemOf(GetParam().kind, GetParam().text), GetParam().item);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SqlItem,
    ::testing::Values(
        ItemCase{"nullColumn", ValueKind::Null, "NULL", "NULL"},
        ItemCase{"typeWithoutDecoder", ValueKind::NoDecoder, "NULL", "NULL"},
        ItemCase{"varchar2HoldingNULL", ValueKind::Text, "NULL", "'NULL'"},
        ItemCase{"lowerCaseNull", ValueKind::Text, "null", "'null'"},
        ItemCase{"apostropheDoubled", ValueKind::Text, "O'NEIL", "'O''NEIL'"},
        ItemCase{"ampersandSpliced", ValueKind::Text, "R&D", "'R'||CHR(38)||'D'"},
        ItemCase{"ampersandsAndApostrophes", ValueKind::Text, "&'&", "''||CHR(38)||''''||CHR(38)||''"},
        ItemCase{"lineBreaksSpliced", ValueKind::Text, "a\r\n\nb", "'a'||CHR(13)||''||CHR(10)||''||CHR(10)||'b'"},
        ItemCase{"lineFeedSpliced", ValueKind::Text, "a\nb", "'a'||CHR(10)||'b'"},
        ItemCase{"verticalTabAndFormFeedKept", ValueKind::Text, "a\vb\fc0123456789\v\f", "'a\vb\fc0123456789\v\f'"},
        ItemCase{"apostropheInTheLastSixteen", ValueKind::Text, "0123456789abcdefghij'", "'0123456789abcdefghij'''"},
        ItemCase{"utf8BesideSpecials", ValueKind::Text, "\u00E9&\u20AC'", "'\u00E9'||CHR(38)||'\u20AC'''"},
        ItemCase{"number", ValueKind::Number, "7369", "'7369'"},
        ItemCase{"undecodable", ValueKind::Undecodable, "NULL", "NULL"},
        ItemCase{"raw", ValueKind::Raw, "0AFF", "HEXTORAW('0AFF')"},
        ItemCase{"binaryFloat", ValueKind::BinaryFloat, "1.5", "1.5f"},
        ItemCase{"binaryDouble", ValueKind::BinaryDouble, "-0.1", "-0.1d"},
        ItemCase{"binaryDoubleExponent", ValueKind::BinaryDouble, "1e+20", "1e+20d"},
        ItemCase{"binaryFloatNaN", ValueKind::BinaryFloat, "NaN", "BINARY_FLOAT_NAN"},
        ItemCase{"binaryFloatInfinity", ValueKind::BinaryFloat, "Inf", "BINARY_FLOAT_INFINITY"},
        ItemCase{"binaryDoubleMinusInfinity", ValueKind::BinaryDouble, "-Inf", "-BINARY_DOUBLE_INFINITY"},
        ItemCase{"timestampZone", ValueKind::TimestampZone, "2011-03-05 12:20:30.5 +02:00",
                 "TO_TIMESTAMP_TZ('2011-03-05 12:20:30.5 +02:00','YYYY-MM-DD HH24:MI:SS.FF TZH:TZM')"},
        ItemCase{"timestampZoneWholeSecondBeforeYearOne", ValueKind::TimestampZone, "-0044-03-15 12:00:00 -05:30",
                 "TO_TIMESTAMP_TZ('-0044-03-15 12:00:00 -05:30','SYYYY-MM-DD HH24:MI:SS TZH:TZM')"},
        ItemCase{"yearToMonth", ValueKind::IntervalYearMonth, "-2-3", "INTERVAL '-2-3' YEAR(9) TO MONTH"},
        ItemCase{"dayToSecond", ValueKind::IntervalDaySecond, "4 05:12:10.222000000",
                 "INTERVAL '4 05:12:10.222000000' DAY(9) TO SECOND(9)"},
        ItemCase{"nationalText", ValueKind::NationalText, "a'\\&~ \u00E9\U0001F600\n",
                 "UNISTR('a\\0027\\005C\\0026~ \\00E9\\D83D\\DE00\\000A')"},
        ItemCase{"numberWithoutText", ValueKind::Number, "", "''"},
        ItemCase{"lob", ValueKind::Lob, " ", "' '"},
        ItemCase{"invalidDate", ValueKind::InvalidDate, "5-Mar- 2011", "'5-Mar- 2011'"},
        ItemCase{"date", ValueKind::Date, "2011-03-05 10:20:30",
                 "TO_DATE('2011-03-05 10:20:30','YYYY-MM-DD HH24:MI:SS')"},
        ItemCase{"dateBeforeYearOne", ValueKind::Date, "-4712-01-01 00:00:00",
                 "TO_DATE('-4712-01-01 00:00:00','SYYYY-MM-DD HH24:MI:SS')"},
        ItemCase{"timestampWithFraction", ValueKind::Timestamp, "2011-03-05 10:20:30.5",
                 "TO_TIMESTAMP('2011-03-05 10:20:30.5','YYYY-MM-DD HH24:MI:SS.FF')"},
        ItemCase{"timestampWholeSecond", ValueKind::Timestamp, "2011-03-05 10:20:30",
                 "TO_TIMESTAMP('2011-03-05 10:20:30','YYYY-MM-DD HH24:MI:SS')"},
        ItemCase{"timestampBeforeYearOne", ValueKind::Timestamp, "-0044-03-15 12:00:00.25",
                 "TO_TIMESTAMP('-0044-03-15 12:00:00.25','SYYYY-MM-DD HH24:MI:SS.FF')"}),
    [](const auto& info) { return std::string(info.param.name); });

// Decoded column bytes through to the item: the kind chosen by the decoder
// decides the quoting.
TEST(SqlItemOfDecodedColumns, RendersByTheirKind) {
    const auto item = [](ColumnKind columnKind, std::vector<std::uint8_t> bytes) {
        const FormattedValue formatted = formatColumnValue(columnKind, bytes);
        return itemOf(formatted.kind, formatted.text);
    };
    EXPECT_EQ(item(ColumnKind::Varchar2, {'N', 'U', 'L', 'L'}), "'NULL'");
    EXPECT_EQ(item(ColumnKind::Raw, {0x01, 0x02}), "HEXTORAW('0102')");
    EXPECT_EQ(item(ColumnKind::Rowid, {0x01, 0x02}), "NULL");
    EXPECT_EQ(item(ColumnKind::IntervalYearMonth, {0x80, 0, 0, 2, 73}), "NULL");
    EXPECT_EQ(item(ColumnKind::NumberStar, {0xC1, 0x06, 0x33}), "'5.5'");
    EXPECT_EQ(item(ColumnKind::NumberInteger, {0x3E, 0x60, 0x66}), "'-5'");
    EXPECT_EQ(item(ColumnKind::Clob, {0x00, 0x01}), "' '");
    EXPECT_EQ(item(ColumnKind::Date, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}),
              "TO_DATE('2011-03-05 10:20:30','YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(item(ColumnKind::Date, {0x78, 0x6F, 0x02, 0x1E, 0x01, 0x01, 0x01}), "'30-Feb- 2011'");
}

// What quoting means, one character at a time.
std::string quotedOneByOne(const std::string& text) {
    std::string item = "'";
    for (const char c : text) {
        if (c == '\'')
            item += "''";
        else if (c == '&')
            item += "'||CHR(38)||'";
        else if (c == '\r')
            item += "'||CHR(13)||'";
        else if (c == '\n')
            item += "'||CHR(10)||'";
        else
            item += c;
    }
    return item + "'";
}

// Texts of every length up to a few scanner steps, with characters to
// replace (and the VT and FF bytes the scanner takes for candidates) at
// random places.
TEST(SqlItemQuoting, MatchesQuotingOneCharacterAtATime) {
    std::mt19937 rng(42);
    const char specials[] = {'\'', '&', '\r', '\n', '\v', '\f', '\x80', '\xE9', ' '};
    for (int round = 0; round < 4000; ++round) {
        std::string text(rng() % 70, 'x');
        for (char& c : text)
            c = rng() % 8 == 0 ? specials[rng() % std::size(specials)] : static_cast<char>('a' + rng() % 26);
        ASSERT_EQ(itemOf(ValueKind::Text, text), quotedOneByOne(text)) << "round " << round;
    }
}

TEST(SqlItemAppending, AddsToWhatTheTextHolds) {
    std::string out = "head:";
    appendSqlItem(out, ValueKind::Text, "O'NEIL");
    appendSqlItem(out, ValueKind::Null, "NULL");
    appendSqlItem(out, ValueKind::Date, "2011-03-05 10:20:30");
    EXPECT_EQ(out, "head:'O''NEIL'NULLTO_DATE('2011-03-05 10:20:30','YYYY-MM-DD HH24:MI:SS')");
}

}  // namespace

namespace {

std::string run(std::size_t count, char c) { return std::string(count, c); }

struct BreakCase {
    const char* name;
    std::string statement;
    std::vector<std::size_t> commas;
    std::string expected;
};
void PrintTo(const BreakCase& c, std::ostream* os) { *os << c.name; }

class StatementLines : public ::testing::TestWithParam<BreakCase> {};

TEST_P(StatementLines, BreakAfterCommasAndCutLongQuotedTexts) {
    std::string out = "kept;";
    out += GetParam().statement;
    breakStatementLines(out, 5, GetParam().commas);
    EXPECT_EQ(out, "kept;" + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StatementLines,
    ::testing::Values(
        BreakCase{"CrLfAfterTheGivenCommasOnly", "v ('a,b',NULL,'c'", {8, 13}, "v ('a,b',\r\nNULL,\r\n'c'"},
        BreakCase{"ThousandBytesStayWhole", "'" + run(1000, 'a') + "'", {}, "'" + run(1000, 'a') + "'"},
        BreakCase{"LongTextCutIntoPieces", "'" + run(2500, 'a') + "'", {},
                  "'" + run(1000, 'a') + "'||\r\n'" + run(1000, 'a') + "'||\r\n'" + run(500, 'a') + "'"},
        BreakCase{"DoubledApostropheKeptWhole", "'" + run(999, 'a') + "''" + run(10, 'b') + "'", {},
                  "'" + run(999, 'a') + "'||\r\n'''" + run(10, 'b') + "'"},
        BreakCase{"SpliceKeptWhole", "'" + run(998, 'a') + "'||CHR(38)||'" + run(5, 'b') + "'", {},
                  "'" + run(998, 'a') + "'||\r\n''||CHR(38)||'" + run(5, 'b') + "'"},
        BreakCase{"SurrogatePairKeptWhole", "UNISTR('" + run(995, 'a') + "\\D83D\\DE00" + run(10, 'b') + "')", {},
                  "UNISTR('" + run(995, 'a') + "'||\r\n'\\D83D\\DE00" + run(10, 'b') + "')"},
        BreakCase{"EscapeKeptWhole", "UNISTR('" + run(997, 'a') + "\\00E9" + run(10, 'b') + "')", {},
                  "UNISTR('" + run(997, 'a') + "'||\r\n'\\00E9" + run(10, 'b') + "')"},
        BreakCase{"Utf8SequenceKeptWhole", "'" + run(999, 'a') + "\xE2\x82\xAC" + "'", {},
                  "'" + run(999, 'a') + "'||\r\n'\xE2\x82\xAC'"},
        BreakCase{"TextsAfterALongOneKeepTheirQuotes",
                  "'" + run(1001, 'a') + "',TO_DATE('2011-03-05 10:20:30','YYYY')", {1003},
                  "'" + run(1000, 'a') + "'||\r\n'a',\r\nTO_DATE('2011-03-05 10:20:30','YYYY')"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// A value written straight from its bytes gives the item the formatted text
// gives; the values it leaves to that way give no end.
TEST(StoredSqlItem, MatchesTheItemOfTheFormattedText) {
    using enum ColumnKind;
    struct Case {
        ColumnKind columnKind;
        std::vector<std::uint8_t> bytes;
        bool straight;
    };
    const std::string longText(kSqlLiteralLimit + 1, 'a');
    const std::vector<Case> cases = {
        {Varchar2, {'O', '\'', 'N', '&', '\n', 'L'}, false},
        {Varchar2, {'O', ' ', 'N', 'E', 'I', 'L'}, true},
        // Texts of sixteen characters and more are tested sixteen at a time:
        // a vertical tab passes, a character to replace or beyond ASCII in the
        // last sixteen does not.
        {Varchar2, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 0x0B, 'r'}, true},
        {Varchar2, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', '\''}, false},
        {Char, {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 0xE9}, false},
        {Char, {'A', 'B', ' ', ' '}, true},
        {Varchar2, {'C', 'a', 'f', 0xE9}, false},
        {Char, {'A', 0, 'B'}, false},
        {Varchar2, std::vector<std::uint8_t>(longText.begin(), longText.end()), false},
        {Raw, {0x01, 0xAB}, true},
        {NumberInteger, {0xC2, 0x02, 0x03}, true},
        {NumberInteger, {0x3E, 0x60, 0x66}, true},
        {NumberInteger, {0xC1, 0x06, 0x33}, true},
        {Float, {0xC2, 0x02, 0x03, 0x33}, true},
        {NumberStar, {0xC1, 0x06, 0x33}, false},
        {Float, {0xC2, 0x02, 0x03, 0x33, 0x01}, true},
        {Float, {0xC1, 0x02, 0x03, 0x04, 0x05, 0x06}, true},
        {BinaryFloat, {0xBF, 0xC0, 0x00, 0x00}, true},
        {BinaryDouble, {0x40, 0x46, 0x33, 0x33, 0x33, 0x33, 0x33, 0x33}, true},
        {BinaryDouble, {0xFF, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, false},
        {BinaryDouble, {0x00, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, false},
        {BinaryDouble, {0xBF, 0xF0, 0x00}, false},
        {Date, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}, true},
        {Date, {0x63, 0x63, 0x01, 0x01, 0x01, 0x01, 0x01}, true},
        {Date, {0x78, 0x6F, 0x02, 0x1E, 0x01, 0x01, 0x01}, true},
        {Timestamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F, 0x07, 0x5B, 0xCD, 0x15}, true},
        {Timestamp, {0x78, 0x6F, 0x03, 0x05, 0x0B, 0x15, 0x1F}, true},
        {Clob, {0x00, 0x01}, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        std::string formatted;
        const ValueKind kind = formatColumnValueInto(c.columnKind, c.bytes, formatted, TextBytes::CodePage);
        std::string expected;
        appendSqlItem(expected, kind, formatted);
        std::string out(storedSqlItemRoom(c.bytes.size()), '?');
        StoredItem item;
        const char* const end = writeStoredSqlItem(out.data(), c.columnKind, c.bytes, item);
        EXPECT_EQ(end != nullptr, c.straight) << "case " << i;
        if (!end) continue;
        EXPECT_EQ(std::string_view(out.data(), static_cast<std::size_t>(end - out.data())), expected) << "case " << i;
        EXPECT_EQ(item.kind, kind) << "case " << i;
        EXPECT_EQ(item.undecodable, isUndecodable(kind, formatted)) << "case " << i;
    }
}
