// BOOTSTRAP$: its texts as the database writes them, and its rows found from
// the root address in the SYSTEM file's header.

#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "datafile/block_layout.h"
#include "dictionary/bootstrap.h"
#include "tests/temp_folder.h"
#include "tools/forge/block_builder.h"
#include "tools/forge/datafile_writer.h"
#include "tools/forge/oracle_values.h"

using namespace restorix;
using namespace restorix::forge;

namespace {

using Kind = BootstrapObject::Kind;

struct TextCase {
    const char* name;
    const char* text;
    std::optional<BootstrapObject> expected;
};
void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

BootstrapObject segment(Kind kind, const char* name, DictionaryNumber number, std::uint32_t file, std::uint32_t block) {
    BootstrapObject object;
    object.kind = kind;
    object.name = name;
    object.objectNumber = number;
    object.headerFile = file;
    object.headerBlock = block;
    return object;
}

BootstrapObject clustered(const char* name, DictionaryNumber number, const char* cluster, int tableNumber) {
    BootstrapObject object;
    object.kind = Kind::ClusteredTable;
    object.name = name;
    object.objectNumber = number;
    object.cluster = cluster;
    object.tableNumber = tableNumber;
    return object;
}

class BootstrapText : public ::testing::TestWithParam<TextCase> {};

TEST_P(BootstrapText, ParsesTheTemplateOnly) {
    const TextCase& c = GetParam();
    const std::optional<BootstrapObject> parsed = parseBootstrapText(c.text);
    ASSERT_EQ(parsed.has_value(), c.expected.has_value()) << c.text;
    if (!parsed) return;
    EXPECT_EQ(parsed->kind, c.expected->kind);
    EXPECT_EQ(parsed->name, c.expected->name);
    EXPECT_EQ(parsed->objectNumber, c.expected->objectNumber);
    EXPECT_EQ(parsed->headerFile, c.expected->headerFile);
    EXPECT_EQ(parsed->headerBlock, c.expected->headerBlock);
    EXPECT_EQ(parsed->cluster, c.expected->cluster);
    EXPECT_EQ(parsed->tableNumber, c.expected->tableNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BootstrapText,
    ::testing::Values(
        TextCase{"heap_table",
                 "CREATE TABLE OBJ$(\"OBJ#\" NUMBER NOT NULL,\"NAME\" VARCHAR2(30) NOT NULL) PCTFREE 10 PCTUSED 40 "
                 "INITRANS 1 MAXTRANS 255 STORAGE (  INITIAL 16K NEXT 104K MINEXTENTS 1 MAXEXTENTS 2147483645 "
                 "PCTINCREASE 0 OBJNO 18 EXTENTS (FILE 1 BLOCK 121))",
                 segment(Kind::Table, "OBJ$", 18, 1, 121)},
        TextCase{"cluster",
                 "CREATE CLUSTER C_OBJ#(\"OBJ#\" NUMBER) PCTFREE 5 PCTUSED 40 INITRANS 2 MAXTRANS 255 STORAGE (  "
                 "INITIAL 136K NEXT 200K MINEXTENTS 1 MAXEXTENTS 2147483645 PCTINCREASE 0 OBJNO 2 EXTENTS (FILE 1 "
                 "BLOCK 144)) SIZE 800",
                 segment(Kind::Cluster, "C_OBJ#", 2, 1, 144)},
        TextCase{"cluster_index",
                 "CREATE INDEX I_OBJ# ON CLUSTER C_OBJ# PCTFREE 10 INITRANS 2 MAXTRANS 255 STORAGE (  INITIAL 64K "
                 "NEXT 1024K MINEXTENTS 1 MAXEXTENTS 2147483645 PCTINCREASE 0 OBJNO 3 EXTENTS (FILE 1 BLOCK 168))",
                 segment(Kind::Index, "I_OBJ#", 3, 1, 168)},
        TextCase{"clustered_table",
                 "CREATE TABLE USER$(\"USER#\" NUMBER NOT NULL,\"NAME\" VARCHAR2(30) NOT NULL) STORAGE (  OBJNO 22 "
                 "TABNO 1) CLUSTER C_USER#(USER#)",
                 clustered("USER$", 22, "C_USER#", 1)},
        TextCase{"version_row", "8.0.0.0.0", std::nullopt},
        TextCase{"unique_index",
                 "CREATE UNIQUE INDEX I_OBJ1 ON OBJ$(OBJ#) PCTFREE 10 STORAGE (  INITIAL 64K OBJNO 36 EXTENTS (FILE 1 "
                 "BLOCK 248))",
                 std::nullopt},
        TextCase{"lower_case", "create table OBJ$(x) STORAGE (  OBJNO 18 EXTENTS (FILE 1 BLOCK 121))", std::nullopt},
        TextCase{"cut_in_the_extents", "CREATE TABLE OBJ$(x) STORAGE (  OBJNO 18 EXTENTS (FILE 1 BLOC", std::nullopt},
        TextCase{"no_object_number", "CREATE TABLE OBJ$(x) STORAGE (  OBJNO  EXTENTS (FILE 1 BLOCK 121))",
                 std::nullopt},
        TextCase{"file_zero", "CREATE TABLE OBJ$(x) STORAGE (  OBJNO 18 EXTENTS (FILE 0 BLOCK 121))", std::nullopt},
        TextCase{"block_beyond_22_bits", "CREATE TABLE OBJ$(x) STORAGE (  OBJNO 18 EXTENTS (FILE 1 BLOCK 4194304))",
                 std::nullopt},
        TextCase{"cluster_without_name", "CREATE TABLE USER$(x) STORAGE (  OBJNO 22 TABNO 1) CLUSTER (USER#)",
                 std::nullopt},
        TextCase{"no_name", "CREATE TABLE (x) STORAGE (  OBJNO 18 EXTENTS (FILE 1 BLOCK 121))", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

constexpr std::uint32_t kSystemFile = 1;
constexpr std::uint32_t kHeaderBlock = 2;
constexpr std::int32_t kBootstrapObject = 59;

Column text(std::string_view value) { return Bytes(value.begin(), value.end()); }

// A SYSTEM file whose header names BOOTSTRAP$'s segment header at block 2,
// its rows in block 3: the version row, OBJ$ and a text of another form.
std::string writeSystemFile(const test::TempFolder& folder, std::uint32_t rootAddress, std::uint8_t rowBlockType) {
    const std::string path = (folder / "SYSTEM01.DBF").string();
    DatafileWriter writer(path, FileHeader::ofDatabase(4242, kSystemFile, kBlockSize, "SYSTEM"));
    writer.writeNonDataBlock(0x10);
    DataBlockBuilder rows(kBootstrapObject, writer.addressOf(3));
    rows.addRow(makeRow({encodeNumber("-1"), encodeNumber("-1"), text("8.0.0.0.0")}));
    rows.addRow(makeRow({encodeNumber("0"), encodeNumber("18"),
                         text("CREATE TABLE OBJ$(\"OBJ#\" NUMBER NOT NULL) STORAGE (  INITIAL 16K OBJNO 18 EXTENTS "
                              "(FILE 1 BLOCK 121))")}));
    rows.addRow(makeRow({encodeNumber("36"), encodeNumber("36"), text("CREATE UNIQUE INDEX I_OBJ1 ON OBJ$(OBJ#)")}));
    Block block = rows.build();
    block[kBlockTypeOffset] = rowBlockType;
    writer.writeBlock(block);
    writer.close();
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(kBlockSize + kRootAddressOffset);
    const std::array<char, 4> root{static_cast<char>(rootAddress), static_cast<char>(rootAddress >> 8),
                                   static_cast<char>(rootAddress >> 16), static_cast<char>(rootAddress >> 24)};
    file.write(root.data(), root.size());
    EXPECT_TRUE(file.flush()) << path;
    return path;
}

struct RootCase {
    const char* name;
    std::uint32_t rootAddress;
    std::uint8_t rowBlockType;
    const char* reason;  // empty: BOOTSTRAP$ is found
    bool indexed = true;  // the rows' block is in the block index
};
void PrintTo(const RootCase& c, std::ostream* os) { *os << c.name; }

class BootstrapRoot : public ::testing::TestWithParam<RootCase> {};

TEST_P(BootstrapRoot, FindsTheRowsOrSaysWhy) {
    const RootCase& c = GetParam();
    const test::TempFolder folder("restorix-bootstrap-");
    DatafileSet files;
    ASSERT_FALSE(files.open({writeSystemFile(folder, c.rootAddress, c.rowBlockType)}));
    const BlockSource source(files);
    BlockIndex index;
    if (c.indexed) index.appendBlock(0, kBootstrapObject, 1, 3);
    const BootstrapSearch search = readBootstrap(source, index, 0);
    EXPECT_EQ(search.reason, c.reason);
    ASSERT_EQ(search.bootstrap.has_value(), std::string_view(c.reason).empty());
    if (!search.bootstrap) return;
    EXPECT_EQ(search.bootstrap->block, kHeaderBlock);
    EXPECT_EQ(search.bootstrap->dataObject, kBootstrapObject);
    ASSERT_EQ(search.bootstrap->objects.size(), 1u);
    ASSERT_NE(search.bootstrap->find("OBJ$"), nullptr);
    EXPECT_EQ(search.bootstrap->find("OBJ$")->headerBlock, 121u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BootstrapRoot,
    ::testing::Values(
        RootCase{"found", restorix::blockAddress(kSystemFile, kHeaderBlock), kDataBlockType, ""},
        RootCase{"no_root", 0, kDataBlockType, "the file header holds no root address"},
        RootCase{"other_file", restorix::blockAddress(7, kHeaderBlock), kDataBlockType,
                 "the root address 0x01c00002 names a file that was not given"},
        RootCase{"outside_the_file", restorix::blockAddress(kSystemFile, 3), kDataBlockType,
                 "the root address 0x00400003 lies outside its file"},
        RootCase{"rows_not_in_a_data_block", restorix::blockAddress(kSystemFile, kHeaderBlock), 0x10,
                 "the block after file 1 block 2 is not a data block"},
        RootCase{"no_rows_found", restorix::blockAddress(kSystemFile, kHeaderBlock), kDataBlockType,
                 "the rows of data object 59 at file 1 block 2 name no dictionary object", false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
