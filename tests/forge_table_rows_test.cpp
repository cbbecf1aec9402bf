// User table rows in forged files: values stored as their column types store
// them, trailing NULLs left out, and the deleted, migrated and chained forms
// with their row addresses pointing where they should.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "tools/forge/column_type.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/forge_plan.h"
#include "tests/temp_folder.h"

namespace fs = std::filesystem;
using namespace restorix;
using namespace restorix::forge;

namespace {

// Hexadecimal digits, spaces ignored.
Bytes hex(std::string_view text) {
    std::string digits;
    for (char c : text)
        if (c != ' ') digits += c;
    Bytes out;
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

struct ValueCase {
    std::string type;
    std::string text;
    std::string storedHex;
};
class ForgeValueEncoding : public ::testing::TestWithParam<ValueCase> {};

struct BadValueCase {
    std::string type;
    std::string text;
};
class ForgeBadValue : public ::testing::TestWithParam<BadValueCase> {};

struct TypeTextCase {
    std::string declared;
    std::string normalised;
};
class ForgeColumnTypeText : public ::testing::TestWithParam<TypeTextCase> {};

}  // namespace

TEST_P(ForgeValueEncoding, StoresTheValueAsItsTypeDoes) {
    EXPECT_EQ(encodeValue(parseColumnType(GetParam().type), GetParam().text), hex(GetParam().storedHex));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForgeValueEncoding,
    ::testing::Values(
        ValueCase{"DATE", "2011-03-05 10:20:30", "786F03050B151F"},
        ValueCase{"DATE", "1999-12-31", "77C70C1F010101"},
        ValueCase{"TIMESTAMP(6)", "2011-03-05 10:20:30", "786F03050B151F"},
        ValueCase{"TIMESTAMP(6)", "2011-03-05 10:20:30.5", "786F03050B151F 1DCD6500"},
        ValueCase{"TIMESTAMP(6) WITH LOCAL TIME ZONE", "2011-03-05 10:20:30.000000001", "786F03050B151F 00000001"},
        // With a time zone: the instant in UTC, then the offset's hours + 20 and minutes + 60.
        ValueCase{"TIMESTAMP(3) WITH TIME ZONE", "2011-03-05 10:20:30 +02:00", "786F0305 09151F 00000000 163C"},
        ValueCase{"TIMESTAMP WITH TIME ZONE", "2011-01-01 02:00:00 -05:30", "786F0101081F01 00000000 0F1E"},
        ValueCase{"TIMESTAMP WITH TIME ZONE", "2011-03-01 01:00:00 +02:00", "786F021C180101 00000000 163C"},
        ValueCase{"CHAR(5)", "AB", "4142202020"},
        ValueCase{"VARCHAR2(10)", "Caf\u00e9", "436166E9"},
        ValueCase{"VARCHAR2(10)", "", ""},
        ValueCase{"NUMBER(10,2)", "1234.56", "C20D2339"},
        ValueCase{"FLOAT", "0.5", "C033"},
        ValueCase{"RAW(4)", "0aFF", "0AFF"},
        ValueCase{"LONG RAW", "00ff", "00FF"},
        ValueCase{"LONG", "R&D", "522644"},
        // data object 51148, file 4, block 32, slot 0
        ValueCase{"ROWID", "AAAMfMAAEAAAAAgAAA", "0000C7CC 01000020 0000"}));

TEST_P(ForgeBadValue, IsRefused) {
    EXPECT_THROW(encodeValue(parseColumnType(GetParam().type), GetParam().text), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(Table, ForgeBadValue,
                         ::testing::Values(BadValueCase{"VARCHAR2(3)", "ABCD"}, BadValueCase{"CHAR(2)", "ABC"},
                                           BadValueCase{"DATE", "2011/03/05"}, BadValueCase{"DATE", "2011-03-05 10:20"},
                                           BadValueCase{"NUMBER", "12a"},
                                           BadValueCase{"TIMESTAMP WITH TIME ZONE", "2011-03-05 10:20:30"},
                                           BadValueCase{"TIMESTAMP", "2011-03-05 10:20:30.1234567890"},
                                           BadValueCase{"RAW(2)", "ABC"}, BadValueCase{"RAW(1)", "ABCD"},
                                           BadValueCase{"ROWID", "AAAMfM"}, BadValueCase{"BINARY_FLOAT", "1.5f"},
                                           BadValueCase{"INTERVAL YEAR TO MONTH", "2-12"},
                                           BadValueCase{"INTERVAL DAY TO SECOND", "4 24:00:00"},
                                           BadValueCase{"NVARCHAR2(1)", "ab"}));

TEST_P(ForgeColumnTypeText, ParsesAndPrintsTheDeclaration) {
    EXPECT_EQ(columnTypeText(parseColumnType(GetParam().declared)), GetParam().normalised);
}

INSTANTIATE_TEST_SUITE_P(Table, ForgeColumnTypeText,
                         ::testing::Values(TypeTextCase{"varchar2( 30 )", "VARCHAR2(30)"}, TypeTextCase{"CHAR", "CHAR(1)"},
                                           TypeTextCase{"number", "NUMBER"}, TypeTextCase{"NUMBER(4)", "NUMBER(4,0)"},
                                           TypeTextCase{"NUMBER (10, 2)", "NUMBER(10,2)"},
                                           TypeTextCase{"NUMBER(*,2)", "NUMBER(*,2)"}, TypeTextCase{"INTEGER", "NUMBER(*,0)"},
                                           TypeTextCase{"FLOAT", "FLOAT(126)"}, TypeTextCase{"timestamp", "TIMESTAMP(6)"},
                                           TypeTextCase{"TIMESTAMP(3)  WITH  TIME ZONE", "TIMESTAMP(3) WITH TIME ZONE"},
                                           TypeTextCase{"TIMESTAMP WITH LOCAL TIME ZONE",
                                                        "TIMESTAMP(6) WITH LOCAL TIME ZONE"},
                                           TypeTextCase{"long raw", "LONG RAW"}, TypeTextCase{"rowid", "ROWID"},
                                           TypeTextCase{"binary_double", "BINARY_DOUBLE"},
                                           TypeTextCase{"interval year to month", "INTERVAL YEAR(2) TO MONTH"},
                                           TypeTextCase{"INTERVAL DAY (3) TO SECOND", "INTERVAL DAY(3) TO SECOND(6)"},
                                           TypeTextCase{"nchar", "NCHAR(1)"}, TypeTextCase{"nvarchar2(5)", "NVARCHAR2(5)"}));

TEST(ForgeColumnType, UnknownOrIncompleteDeclarationsAreRefused) {
    for (const char* bad : {"VARCHAR2", "VARCHAR2(0)", "NUMBER(*)", "NUMBER(1,2,3)", "TIMESTAMP(10)", "TIMESTAMP WITH ZONE",
                            "FOO", "RAW", "DATE(3)", "CLOB(10)", "NVARCHAR2",
                            "INTERVAL MONTH TO YEAR", "INTERVAL DAY(2,1) TO SECOND"})
        EXPECT_THROW(parseColumnType(bad), std::invalid_argument) << bad;
}

namespace {

class ForgeTableRows : public ::testing::Test {
protected:
    void SetUp() override { path_ = (folder_ / "table-rows.dbf").string(); }

    const FileRows& forge(const Scenario& scenario) {
        writeDatafile(scenario, path_, {.release = 10});
        rows_ = readFileRows(path_);
        return rows_;
    }

    // Where a row address (block address and slot, little-endian) points.
    const FileRowPiece* follow(const FileRowPiece& from, int addressOffset, std::int32_t dataObject) const {
        std::ifstream in(path_, std::ios::binary);
        in.seekg(from.block * kBlockSize + from.offset + addressOffset);
        std::uint8_t address[6] = {};
        in.read(reinterpret_cast<char*>(address), sizeof address);
        const std::int64_t block = readU32BE(address) & ((1u << 22) - 1);
        const int slot = readU16BE(address + 4);
        for (const FileRowPiece* piece : rows_.of(dataObject))
            if (piece->block == block && piece->slot == slot) return piece;
        return nullptr;
    }

    restorix::test::TempFolder folder_{"restorix-table-rows-"};
    std::string path_;
    FileRows rows_;
};

Column stored(const char* type, const char* value) { return encodeValue(parseColumnType(type), value); }

}  // namespace

TEST_F(ForgeTableRows, RowFormsReadBackWithTheirValues) {
    Scenario s;
    TableDef& t = s.user("HR", 30).table("T", 70000);
    t.column("ID", "NUMBER").column("NAME", "VARCHAR2(300)").column("HIRED", "DATE").column("NOTE", "VARCHAR2(10)");
    t.row({"1", "O'NEIL", "2009-03-14", "R&D"})
        .row({"2", std::nullopt, "2009-03-15"})
        .row({"3", std::string(260, 'L')})
        .row({"4", "gone", "2001-01-01", "x"}, RowStorage::Deleted)
        .row({"5", "moved", "2002-02-02", "y"}, RowStorage::Migrated)
        .row({"6", "split", "2003-03-03", "z"}, RowStorage::Chained)
        .row({std::nullopt, std::nullopt});
    forge(s);

    std::map<std::uint8_t, std::vector<const FileRowPiece*>> byFlag;
    for (const FileRowPiece* piece : rows_.of(70000)) byFlag[piece->flag].push_back(piece);

    const auto& live = byFlag[0x2C];
    ASSERT_EQ(live.size(), 4u);
    EXPECT_EQ(live[0]->columns, (std::vector<Column>{stored("NUMBER", "1"), stored("VARCHAR2(10)", "O'NEIL"),
                                                      stored("DATE", "2009-03-14"), stored("VARCHAR2(10)", "R&D")}));
    EXPECT_EQ(live[1]->columns, (std::vector<Column>{stored("NUMBER", "2"), std::nullopt, stored("DATE", "2009-03-15")}))
        << "the trailing NULL is not stored, the NULL before a value is";
    EXPECT_EQ(live[2]->columnCount, 2);
    EXPECT_EQ(live[2]->columns.at(1), Column(Bytes(260, 'L'))) << "a value over 250 bytes in its long form";
    EXPECT_EQ(live[3]->columnCount, 0) << "a row of NULLs stores no column";

    ASSERT_EQ(byFlag[0x3C].size(), 1u);
    EXPECT_EQ(byFlag[0x3C][0]->columns.at(0), stored("NUMBER", "4"));

    ASSERT_EQ(byFlag[0x20].size(), 1u);
    const FileRowPiece& head = *byFlag[0x20][0];
    EXPECT_EQ(head.headerLength, 9);
    EXPECT_EQ(head.columnCount, 0);
    const FileRowPiece* body = follow(head, 3, 70000);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->flag, 0x0C);
    EXPECT_NE(body->block, head.block) << "the row moved to another block";
    EXPECT_EQ(body->columns.at(1), stored("VARCHAR2(10)", "moved"));
    EXPECT_EQ(follow(*body, 3, 70000), &head) << "the moved row points back at its head";

    ASSERT_EQ(byFlag[0x28].size(), 1u);
    const FileRowPiece& first = *byFlag[0x28][0];
    EXPECT_EQ(first.columns, (std::vector<Column>{stored("NUMBER", "6"), stored("VARCHAR2(10)", "split")}));
    const FileRowPiece* last = follow(first, 3, 70000);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->flag, 0x04);
    EXPECT_EQ(last->columns, (std::vector<Column>{stored("DATE", "2003-03-03"), stored("VARCHAR2(10)", "z")}));
}

TEST_F(ForgeTableRows, ARowTooLargeForOneBlockIsChained) {
    Scenario s;
    TableDef& t = s.user("HR", 30).table("BIG", 70001);
    t.column("A", "VARCHAR2(4000)").column("B", "VARCHAR2(4000)").column("C", "VARCHAR2(4000)");
    t.row({std::string(3000, 'a'), std::string(3000, 'b'), std::string(3000, 'c')});
    forge(s);
    const auto pieces = rows_.of(70001);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0]->flag, 0x28);
    EXPECT_EQ(pieces[0]->columns.size() + pieces[1]->columns.size(), 3u);
    EXPECT_EQ(follow(*pieces[0], 3, 70001), pieces[1]);
}

TEST_F(ForgeTableRows, TruncatedTablesKeepOldRowsUnderTheObjectNumber) {
    Scenario s;
    TableDef& t = s.user("HR", 30).table("LOG", 70010);
    t.dataObjectNumber = 70011;
    t.column("ID", "NUMBER").row({"3"});
    t.staleRows.push_back({{"1"}, RowStorage::Normal});
    t.staleRows.push_back({{"2"}, RowStorage::Normal});
    s.user("SALES", 31).table("EMPTY", 70020).column("X", "NUMBER");
    forge(s);
    ASSERT_EQ(rows_.of(70011).size(), 1u);
    EXPECT_EQ(rows_.of(70011)[0]->columns.at(0), stored("NUMBER", "3"));
    EXPECT_EQ(rows_.of(70010).size(), 2u);
    EXPECT_TRUE(rows_.of(70020).empty());
}

TEST_F(ForgeTableRows, ValuesTheColumnCannotHoldNameTheirPlace) {
    Scenario s;
    s.user("HR", 30).table("T").column("ID", "NUMBER").column("D", "DATE").row({"1", "yesterday"});
    try {
        forge(s);
        FAIL() << "no error";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find("T row 0 column D"), std::string::npos) << e.what();
    }
}
