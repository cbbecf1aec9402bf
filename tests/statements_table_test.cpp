#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "output/table_statements.h"

using namespace restorix;

namespace {

using namespace oracle_type;
constexpr int kUrowid = 208, kObjectType = 121;  // types without a declaration of their own

// A column as the catalog keeps it: its TYPE#, and its length (or the
// fractional-second or leading-field precision) plus one.
ColumnEntry column(std::string name, int oracleType, std::int16_t length,
                   std::optional<int> scale = std::nullopt, std::uint8_t columnNumber = 2) {
    ColumnEntry c;
    c.objNumber = 103;
    c.columnNumber = columnNumber;
    c.name = std::move(name);
    c.oracleType = oracleType;
    c.length = length;
    c.scale = scale;
    return c;
}

// NUMBER or FLOAT as COL$ holds it: PRECISION# and SCALE, each maybe NULL.
ColumnEntry numberColumn(std::string name, std::optional<int> precision, std::optional<int> scale) {
    ColumnEntry c = column(std::move(name), kNumber, static_cast<std::int16_t>(precision.value_or(0) + 1), scale);
    c.precision = precision;
    return c;
}

// The same type in the national character set.
ColumnEntry national(ColumnEntry c) {
    c.charsetForm = kNationalCharsetForm;
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
        ColumnCase{"NUMBER without precision", numberColumn("ID", std::nullopt, std::nullopt), " \"ID\" Number"},
        ColumnCase{"NUMBER(10,2)", numberColumn("SAL", 10, 2), " \"SAL\" Number(10,2)"},
        ColumnCase{"NUMBER(5) with scale 0", numberColumn("QTY", 5, 0), " \"QTY\" Number(5)"},
        ColumnCase{"a precision without scale is FLOAT", numberColumn("QTY", 5, std::nullopt), " \"QTY\" Float(5)"},
        ColumnCase{"NUMBER(7,-2)", numberColumn("ROUNDED", 7, -2), " \"ROUNDED\" Number(7,-2)"},
        ColumnCase{"NUMBER(*,2)", numberColumn("RATE", std::nullopt, 2), " \"RATE\" Number(*,2)"},
        ColumnCase{"FLOAT(126)", numberColumn("F", 126, std::nullopt), " \"F\" Float(126)"},
        ColumnCase{"LONG", column("NOTES", kLong, 1), " \"NOTES\" Long"},
        ColumnCase{"LONG RAW without length", column("PIC", kLongRaw, 1), " \"PIC\" Long Raw"},
        ColumnCase{"DATE", column("HIRED", kDate, 8), " \"HIRED\" Date"},
        ColumnCase{"CLOB", column("DOC", kClob, 4001), " \"DOC\" Clob"},
        ColumnCase{"BLOB", column("IMG", kBlob, 4001), " \"IMG\" Blob"},
        ColumnCase{"TIMESTAMP(6)", column("TS", kTimestamp, 7), " \"TS\" Timestamp(6)"},
        ColumnCase{"TIMESTAMP(0)", column("TS", kTimestamp, 1), " \"TS\" Timestamp(0)"},
        ColumnCase{"TIMESTAMP(3) WITH LOCAL TIME ZONE", column("T", kTimestampLocal, 4),
                   " \"T\" Timestamp(3) With Local Time Zone"},
        ColumnCase{"TIMESTAMP(0) WITH LOCAL TIME ZONE", column("T", kTimestampLocal, 1),
                   " \"T\" Timestamp(0) With Local Time Zone"},
        ColumnCase{"ROWID", column("RID", kRowid, 11), " \"RID\" Rowid"},
        ColumnCase{"TIMESTAMP(6) WITH TIME ZONE", column("TZ", kTimestampZone, 7), " \"TZ\" Timestamp(6) With Time Zone"},
        ColumnCase{"BINARY_FLOAT", column("F", kBinaryFloat, 5), " \"F\" Binary_Float"},
        ColumnCase{"BINARY_DOUBLE", column("D", kBinaryDouble, 9), " \"D\" Binary_Double"},
        ColumnCase{"INTERVAL YEAR(4) TO MONTH", column("YM", kIntervalYearMonth, 5, 0), " \"YM\" Interval Year(4) To Month"},
        ColumnCase{"INTERVAL DAY(3) TO SECOND(2)", column("DS", kIntervalDaySecond, 4, 2), " \"DS\" Interval Day(3) To Second(2)"},
        ColumnCase{"NVARCHAR2(10) in AL16UTF16", national(column("NV", kVarchar2, 21)), " \"NV\" Nvarchar2(10)"},
        ColumnCase{"NCHAR(4) in AL16UTF16", national(column("NC", kChar, 9)), " \"NC\" Nchar(4)"},
        ColumnCase{"UROWID falls back", column("URID", kUrowid, 4001), " \"URID\"Varchar2(10)"},
        ColumnCase{"object type falls back", column("ADDR", kObjectType, 1), " \"ADDR\"Varchar2(10)"},
        ColumnCase{"quote in column name", column("A\"B", kDate, 8), " \"A\"\"B\" Date"}));

TEST(CreateTable, NationalLengthsCountCharactersOfTheNationalSet) {
    const ColumnEntry nvarchar2 = national(column("NV", kVarchar2, 31));  // 30 bytes
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
