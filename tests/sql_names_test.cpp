#include <gtest/gtest.h>

#include "output/sql_names.h"

using namespace restorix;

namespace {

struct NameCase {
    const char* label;
    std::string name;
    std::string expected;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class SqlNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SqlNameTest, WritesIdentifier) { EXPECT_EQ(sqlName(GetParam().name), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Names, SqlNameTest,
    ::testing::Values(NameCase{"ordinary", "EMP", "EMP"},
                      NameCase{"lower case stays as stored", "emp", "emp"},
                      NameCase{"dollar, hash, digits", "My$Tab#1", "My$Tab#1"},
                      NameCase{"prefix of a reserved word", "DATES", "DATES"},
                      NameCase{"reserved DATE", "DATE", "\"DATE\""},
                      NameCase{"reserved in lower case", "level", "\"level\""},
                      NameCase{"reserved NUMBER", "NUMBER", "\"NUMBER\""},
                      NameCase{"reserved ORDER", "Order", "\"Order\""},
                      NameCase{"reserved SIZE", "SIZE", "\"SIZE\""},
                      NameCase{"reserved TABLE", "TABLE", "\"TABLE\""},
                      NameCase{"reserved USER", "USER", "\"USER\""},
                      NameCase{"first reserved word", "access", "\"access\""},
                      NameCase{"last reserved word", "WITH", "\"WITH\""},
                      NameCase{"blank", "MY TABLE", "\"MY TABLE\""},
                      NameCase{"double quote doubled", "A\"B", "\"A\"\"B\""},
                      NameCase{"semicolon", "X;DROP", "\"X;DROP\""},
                      NameCase{"leading digit", "1ABC", "\"1ABC\""},
                      NameCase{"leading underscore", "_X", "\"_X\""},
                      NameCase{"slash", "A/B", "\"A/B\""},
                      NameCase{"non-ASCII letter", "\u00C9T\u00C9", "\"\u00C9T\u00C9\""},
                      NameCase{"empty", "", "\"\""},
                      // sqlplus would read a line break as the end of the line, not of the name.
                      NameCase{"line feed and carriage return", "A\nhost x\r", "\"A_host x_\""},
                      NameCase{"escape sequence, tab, delete", "\x1B[2JT\tX\x7F", "\"_[2JT_X_\""},
                      NameCase{"first byte past the control characters", " !~", "\" !~\""}));

class SafeFileNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(SafeFileNameTest, KeepsOnlyPortableCharacters) {
    EXPECT_EQ(safeFileName(GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SafeFileNameTest,
    ::testing::Values(NameCase{"ordinary", "EMP$#_1", "EMP$#_1"},
                      NameCase{"hyphen and dot kept", "a-b.c", "a-b.c"},
                      NameCase{"climbing out of the folder", "../../x", ".._.._x"},
                      NameCase{"blank", "MY USER", "MY_USER"},
                      NameCase{"shell characters", "a&b|c<d>e^f%g", "a_b_c_d_e_f_g"},
                      NameCase{"path characters", "A\\B:C*D?E\"F", "A_B_C_D_E_F"},
                      NameCase{"two-byte characters", "\u00C9T\u00C9", "_T_"},
                      NameCase{"three-byte characters", "\u65E5\u672C", "__"},
                      NameCase{"four-byte character", "a\U0001F600b", "a_b"},
                      NameCase{"stray continuation bytes", "a\x80\x80z", "a__z"},
                      NameCase{"empty", "", "_"}));

TEST(TableNames, CreateTableFormReplacesSlashes) {
    EXPECT_EQ(createTableForm("A/B/C"), "A_B_C");
    EXPECT_EQ(tableFileName("X/Y"), "X_Y");
    EXPECT_EQ(tableFileName("MY TABLE/2"), "MY_TABLE_2");
    EXPECT_EQ(tableSqlName("A/B"), "A_B");
    EXPECT_EQ(tableSqlName("MY/TABLE"), "MY_TABLE");
    EXPECT_EQ(tableSqlName("A B/C"), "\"A B_C\"");
    EXPECT_EQ(tableSqlName("ORDER"), "\"ORDER\"");
}

TEST(TableNames, QualifiedNameQuotesEachPartOnItsOwn) {
    EXPECT_EQ(qualifiedTableName("hr", "A/B"), "hr.A_B");
    EXPECT_EQ(qualifiedTableName("MY USER", "EMP"), "\"MY USER\".EMP");
    EXPECT_EQ(qualifiedTableName("HR", "TABLE"), "HR.\"TABLE\"");
}

TEST(ColumnNames, AreAlwaysQuoted) {
    EXPECT_EQ(quotedColumn("ENAME"), "\"ENAME\"");
    EXPECT_EQ(quotedColumn("DATE"), "\"DATE\"");
    EXPECT_EQ(quotedColumn("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(quotedColumn("A\nB"), "\"A_B\"");
}

TEST(ChangedNames, AreTheNamesWithAControlCharacterAndShowTheirBytes) {
    EXPECT_TRUE(hasControlCharacter("A\nB"));
    EXPECT_TRUE(hasControlCharacter("\x7F"));
    EXPECT_TRUE(hasControlCharacter(std::string("A\0B", 3)));
    EXPECT_FALSE(hasControlCharacter("A B\u00C9~"));
    EXPECT_EQ(hexBytes("A\n\xC3\x89"), "41 0A C3 89");
}

}  // namespace
