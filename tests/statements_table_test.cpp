#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "output/table_statements.h"

using namespace restorix;

namespace {

// Type codes as the column list keeps them (Oracle type + 1, or a NUMBER code).
constexpr std::uint8_t kVarchar2 = 2, kNumberScaleOnly = 3, kLong = 9, kDate = 13, kRaw = 24,
                       kLongRaw = 25, kRowid = 70, kChar = 97, kClob = 113, kBlob = 114,
                       kTimestamp = 181, kTimestampTz = 182, kTimestampLtz = 232, kNumber = 240,
                       kNumberPrecision = 241, kFloat = 242;

ColumnEntry column(std::string name, std::uint8_t typeCode, std::int16_t length,
                   std::optional<int> scale = std::nullopt, std::uint8_t columnNumber = 2) {
    ColumnEntry c;
    c.objNumber = 103;
    c.columnNumber = columnNumber;
    c.name = std::move(name);
    c.typeCode = typeCode;
    c.length = length;
    c.scale = scale;
    return c;
}

struct ColumnCase {
    const char* label;
    ColumnEntry column;
    const char* expected;
};

void PrintTo(const ColumnCase& c, std::ostream* os) { *os << c.label; }

class ColumnDefinitionTest : public ::testing::TestWithParam<ColumnCase> {};

TEST_P(ColumnDefinitionTest, WritesTypeAfterQuotedName) {
    EXPECT_EQ(columnDefinition(GetParam().column), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, ColumnDefinitionTest,
    ::testing::Values(
        ColumnCase{"VARCHAR2 stored length 31", column("ENAME", kVarchar2, 31), " \"ENAME\" Varchar2(30)"},
        ColumnCase{"CHAR(1)", column("FLAG", kChar, 2), " \"FLAG\" Char(1)"},
        ColumnCase{"RAW(16)", column("GUID", kRaw, 17), " \"GUID\" Raw(16)"},
        ColumnCase{"NUMBER without precision", column("ID", kNumber, 1), " \"ID\" Number"},
        ColumnCase{"NUMBER(10,2)", column("SAL", kNumberPrecision, 11, 2), " \"SAL\" Number(10,2)"},
        ColumnCase{"NUMBER(5) with scale 0", column("QTY", kNumberPrecision, 6, 0), " \"QTY\" Number(5)"},
        ColumnCase{"NUMBER(5) without scale", column("QTY", kNumberPrecision, 6), " \"QTY\" Number(5)"},
        ColumnCase{"NUMBER(7,-2)", column("ROUNDED", kNumberPrecision, 8, -2), " \"ROUNDED\" Number(7,-2)"},
        ColumnCase{"NUMBER(*,2)", column("RATE", kNumberScaleOnly, 1, 2), " \"RATE\" Number(*,2)"},
        ColumnCase{"FLOAT(126)", column("F", kFloat, 127), " \"F\" Float(126)"},
        ColumnCase{"LONG", column("NOTES", kLong, 1), " \"NOTES\" Long"},
        ColumnCase{"LONG RAW without length", column("PIC", kLongRaw, 1), " \"PIC\" Long Raw"},
        ColumnCase{"DATE", column("HIRED", kDate, 8), " \"HIRED\" Date"},
        ColumnCase{"CLOB", column("DOC", kClob, 4001), " \"DOC\" Clob"},
        ColumnCase{"BLOB", column("IMG", kBlob, 4001), " \"IMG\" Blob"},
        ColumnCase{"TIMESTAMP(6)", column("TS", kTimestamp, 7), " \"TS\" Timestamp(6)"},
        ColumnCase{"TIMESTAMP(0)", column("TS", kTimestamp, 1), " \"TS\" Timestamp(0)"},
        ColumnCase{"TIMESTAMP(3) WITH LOCAL TIME ZONE", column("T", kTimestampLtz, 4),
                   " \"T\" Timestamp(3) With Local Time Zone"},
        ColumnCase{"TIMESTAMP(0) WITH LOCAL TIME ZONE", column("T", kTimestampLtz, 1),
                   " \"T\" Timestamp(0) With Local Time Zone"},
        ColumnCase{"ROWID", column("RID", kRowid, 11), " \"RID\" Rowid"},
        ColumnCase{"TIMESTAMP(6) WITH TIME ZONE", column("TZ", kTimestampTz, 7), " \"TZ\" Timestamp(6) With Time Zone"},
        ColumnCase{"BINARY_FLOAT", column("F", 101, 5), " \"F\" Binary_Float"},
        ColumnCase{"BINARY_DOUBLE", column("D", 102, 9), " \"D\" Binary_Double"},
        ColumnCase{"INTERVAL YEAR(4) TO MONTH", column("YM", 183, 5, 0), " \"YM\" Interval Year(4) To Month"},
        ColumnCase{"INTERVAL DAY(3) TO SECOND(2)", column("DS", 184, 4, 2), " \"DS\" Interval Day(3) To Second(2)"},
        ColumnCase{"NVARCHAR2(10) in AL16UTF16", column("NV", 243, 21), " \"NV\" Nvarchar2(10)"},
        ColumnCase{"NCHAR(4) in AL16UTF16", column("NC", 244, 9), " \"NC\" Nchar(4)"},
        ColumnCase{"UROWID falls back", column("URID", 209, 4001), " \"URID\"Varchar2(10)"},
        ColumnCase{"object type falls back", column("ADDR", 122, 1), " \"ADDR\"Varchar2(10)"},
        ColumnCase{"quote in column name", column("A\"B", kDate, 8), " \"A\"\"B\" Date"}));

TEST(CreateTable, NationalLengthsCountCharactersOfTheNationalSet) {
    const ColumnEntry nvarchar2 = column("NV", 243, 31);  // 30 bytes
    EXPECT_EQ(columnDefinition(nvarchar2, NationalCharset::Al16Utf16), " \"NV\" Nvarchar2(15)");
    EXPECT_EQ(columnDefinition(nvarchar2, NationalCharset::Utf8), " \"NV\" Nvarchar2(10)");
}

TEST(CreateTable, NumberWithoutPrecisionAndDateHaveNoLength) {
    const std::vector<ColumnEntry> columns = {column("A", kNumber, 1, std::nullopt, 2),
                                              column("B", kDate, 8, std::nullopt, 3)};
    EXPECT_EQ(createTableStatement("HR", "T", columns), "Create Table HR.T( \"A\" Number, \"B\" Date);");
}

TEST(CreateTable, ColumnsFollowColumnNumberNotRowOrder) {
    const std::vector<ColumnEntry> columns = {
        column("THIRD", kDate, 8, std::nullopt, 4), column("FIRST", kDate, 8, std::nullopt, 2),
        column("SECOND_A", kDate, 8, std::nullopt, 3), column("SECOND_B", kDate, 8, std::nullopt, 3)};
    EXPECT_EQ(createTableStatement("HR", "T", columns),
              "Create Table HR.T( \"FIRST\" Date, \"SECOND_A\" Date, \"SECOND_B\" Date, \"THIRD\" Date);");
}

TEST(CreateTable, NamesTheTableByItsCreateTableForm) {
    const std::vector<ColumnEntry> one = {column("C", kDate, 8)};
    EXPECT_EQ(createTableStatement("S", "X/Y", one), "Create Table S.X_Y( \"C\" Date);");
    EXPECT_EQ(createTableStatement("hr", "emp", one), "Create Table hr.emp( \"C\" Date);");
    EXPECT_EQ(createTableStatement("HR", "ORDER", one), "Create Table HR.\"ORDER\"( \"C\" Date);");
    EXPECT_EQ(createTableStatement("MY USER", "T", one), "Create Table \"MY USER\".T( \"C\" Date);");
}

TEST(CreateTable, TableWithoutColumnsGetsAnEmptyList) {
    EXPECT_EQ(createTableStatement("HR", "T", std::vector<ColumnEntry>{}), "Create Table HR.T();");
}

TEST(CreateTable, ScriptTextEndsWithExitAndUsesCrLf) {
    const ColumnEntry odd = column("LINE\nFEED", kDate, 8);
    const std::vector<const ColumnEntry*> columns = {&odd};
    EXPECT_EQ(createTableScriptText("HR", "T", columns),
              "Create Table HR.T( \"LINE_FEED\" Date);\r\nExit;");
}

}  // namespace
