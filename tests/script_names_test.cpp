// The file names of one save: table names to script names in one schema's
// folders, schema names to folder names, and every Commit.bat line within
// its limit.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "output/batch_files.h"
#include "output/output_files.h"
#include "output/script_names.h"

using namespace restorix;

namespace {

constexpr DictionaryNumber kFirstUser = 30;
constexpr DictionaryNumber kFirstTable = 51001;

// A catalog of the schemas, each owning every table of `tables`.
Catalog catalogOf(const std::vector<std::string>& schemas, const std::vector<std::string>& tables) {
    Catalog catalog;
    DictionaryNumber user = kFirstUser;
    DictionaryNumber object = kFirstTable;
    for (const std::string& schema : schemas) {
        SchemaEntry entry;
        entry.userNumber = user;
        entry.name = schema;
        EXPECT_TRUE(catalog.appendSchema(entry));
        for (const std::string& table : tables) {
            ObjectEntry entry;
            entry.objNumber = object++;
            entry.ownerNumber = user;
            entry.objType = kTable;
            entry.name = table;
            EXPECT_TRUE(catalog.appendObject(entry));
        }
        ++user;
    }
    return catalog;
}

std::size_t commitTextSize(const std::string& relativePath) {
    return commitBatLines(tableScriptReplay(relativePath)).size();
}

struct TableNamesCase {
    const char* label;
    std::vector<std::string> tables;  // in catalog order
    std::vector<std::string> files;   // the name before ".sql" and "Data.sql"
};

void PrintTo(const TableNamesCase& c, std::ostream* os) { *os << c.label; }

class TableFileNames : public ::testing::TestWithParam<TableNamesCase> {};

TEST_P(TableFileNames, OneFileForEachTableAndBothScriptsNamedAlike) {
    const Catalog catalog = catalogOf({"HR"}, GetParam().tables);
    const ScriptNames names(catalog, ReleaseInfo());
    const SchemaEntry& hr = catalog.schemaList[0];
    EXPECT_EQ(names.createFolder(hr), "HR_create");
    EXPECT_EQ(names.dataFolder(hr), "HR_data");
    ASSERT_EQ(catalog.objectList.size(), GetParam().files.size());
    for (std::size_t i = 0; i < GetParam().files.size(); ++i) {
        const ObjectEntry& table = catalog.objectList[i];
        const std::string& file = GetParam().files[i];
        EXPECT_EQ(names.createTableScript(hr, table), "HR_create\\" + file + ".sql") << table.name;
        EXPECT_EQ(names.dataScript(hr, table), "HR_data\\" + file + "Data.sql") << table.name;
        EXPECT_LE(commitTextSize(names.dataScript(hr, table)), kCommitTextLimit);
        EXPECT_LE(commitTextSize(names.createTableScript(hr, table)), kCommitTextLimit);
    }
}

const std::string k250(250, 'T');
const std::string kCut = std::string(153, 'T');  // the data script's Commit.bat text is then 200 bytes

INSTANTIATE_TEST_SUITE_P(
    Names, TableFileNames,
    ::testing::Values(
        TableNamesCase{"ordinary names as they are", {"EMP", "DEPT", "My$Tab#1"}, {"EMP", "DEPT", "My$Tab#1"}},
        TableNamesCase{"shell and path characters", {"..", "a&b", "A\\B:C"}, {"..", "a_b", "A_B_C"}},
        TableNamesCase{"CJK trio", {"\u9867\u5BA2", "\u5546\u54C1", "\u6CE8\u6587"}, {"__", "___2", "___3"}},
        TableNamesCase{"umlaut pair", {"\u00C4RGER", "\u00D6RGER"}, {"_RGER", "_RGER_2"}},
        TableNamesCase{"blank and underscore", {"A B", "A_B"}, {"A_B", "A_B_2"}},
        TableNamesCase{"slash and underscore", {"X/Y", "X_Y"}, {"X_Y", "X_Y_2"}},
        TableNamesCase{"a number another table's name holds", {"A B", "A_B", "A_B_2"}, {"A_B", "A_B_3", "A_B_2"}},
        TableNamesCase{"case twins", {"Abc", "ABC", "abc"}, {"Abc", "ABC_2", "abc_3"}},
        TableNamesCase{"device names",
                       {"CON", "con.x", "LPT9", "aux", "COM1.a.b"},
                       {"CON_", "con_.x", "LPT9_", "aux_", "COM1_.a.b"}},
        TableNamesCase{"near device names", {"COM0", "NULL", "LPT10", "CONX", "PRN_"},
                       {"COM0", "NULL", "LPT10", "CONX", "PRN_"}},
        TableNamesCase{"device name and its mended form", {"NUL", "NUL_"}, {"NUL_", "NUL__2"}},
        TableNamesCase{"250 characters", {k250}, {kCut + "_1"}},
        TableNamesCase{"two long names of one start", {k250, k250 + "X"}, {kCut + "_1", kCut + "_2"}}));

TEST(SchemaFolderNames, SchemasOfOneFolderNameAndLongNamesAreTold) {
    const std::string longSchema(250, 'S');
    const Catalog catalog = catalogOf({"MY USER", "MY_USER", "con.x", longSchema, ""}, {});
    const ScriptNames names(catalog, ReleaseInfo());
    const std::vector<std::string> expected = {"MY_USER", "MY_USER_2", "con_.x", std::string(76, 'S') + "_1", "_"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(names.createFolder(catalog.schemaList[i]), expected[i] + "_create");
        EXPECT_EQ(names.dataFolder(catalog.schemaList[i]), expected[i] + "_data");
    }
    ASSERT_EQ(names.changedNames().size(), 3u);
    EXPECT_EQ(names.changedNames()[0], "File names changed: schema MY_USER is written to MY_USER_2_create and MY_USER_2_data");
    EXPECT_NE(names.changedNames()[2].find("schema " + longSchema + " is written to " + expected[3]), std::string::npos);
}

// A long schema name leaves its tables half of the line; the log names the
// whole table and both its files.
TEST(SchemaFolderNames, TablesOfALongSchemaStillFitAndAreLogged) {
    const std::string longSchema(250, 'S');
    const Catalog catalog = catalogOf({longSchema}, {"EMP", k250});
    const ScriptNames names(catalog, ReleaseInfo());
    const SchemaEntry& schema = catalog.schemaList[0];
    const std::string folder = std::string(76, 'S') + "_1";
    EXPECT_EQ(names.createTableScript(schema, catalog.objectList[0]), folder + "_create\\EMP.sql");
    const std::string data = names.dataScript(schema, catalog.objectList[1]);
    EXPECT_EQ(data, folder + "_data\\" + std::string(77, 'T') + "_1Data.sql");
    EXPECT_EQ(commitTextSize(data), kCommitTextLimit);
    ASSERT_EQ(names.changedNames().size(), 2u);
    EXPECT_EQ(names.changedNames()[1], "File names changed: table " + longSchema + "." + k250 + " is written to " +
                                           names.createTableScript(schema, catalog.objectList[1]) + " and " + data);
}

}  // namespace
