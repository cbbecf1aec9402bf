#include <gtest/gtest.h>

#include <vector>

#include "dictionary/catalog.h"

using namespace restorix;

namespace {

struct SmallNumberCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    int expected;
};

class SmallNumber : public ::testing::TestWithParam<SmallNumberCase> {};

TEST_P(SmallNumber, Decodes) {
    EXPECT_EQ(decodeSmallNumber(GetParam().bytes), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SmallNumber,
    ::testing::Values(SmallNumberCase{"C1 01 is 0", {0xC1, 0x01}, 0},
                      SmallNumberCase{"C1 02 is 1", {0xC1, 0x02}, 1},
                      SmallNumberCase{"C1 64 is 99", {0xC1, 0x64}, 99},
                      SmallNumberCase{"C2 02 01 is 100", {0xC2, 0x02, 0x01}, 100},
                      SmallNumberCase{"C2 02 alone is 100 (absent digit counts as 0)", {0xC2, 0x02}, 100},
                      SmallNumberCase{"C2 0B 2E is 1045", {0xC2, 0x0B, 0x2E}, 1045},
                      SmallNumberCase{"C3 02 01 01 is 10000", {0xC3, 0x02, 0x01, 0x01}, 10000},
                      SmallNumberCase{"C3 0D 23 39 is 123456", {0xC3, 0x0D, 0x23, 0x39}, 123456},
                      SmallNumberCase{"C3 64 64 64 is 999999", {0xC3, 0x64, 0x64, 0x64}, 999999},
                      SmallNumberCase{"zero digit byte counts as 0", {0xC2, 0x00, 0x05}, 4},
                      SmallNumberCase{"padded array: C1 0B 00 00 is 10", {0xC1, 0x0B, 0x00, 0x00}, 10},
                      SmallNumberCase{"C1 alone is 0", {0xC1}, 0},
                      SmallNumberCase{"80 (zero as stored) is 0", {0x80}, 0},
                      SmallNumberCase{"C4 (a million and above) is out of range", {0xC4, 0x02}, -1},
                      SmallNumberCase{"negative number is out of range", {0x3E, 0x63, 0x66}, -1},
                      SmallNumberCase{"no bytes is out of range", {}, -1}));

SchemaEntry schema(const char* name, std::uint8_t user) {
    SchemaEntry entry;
    entry.name = name;
    entry.userNumber = {0xC1, static_cast<std::uint8_t>(user + 1)};
    return entry;
}

ObjectEntry object(NumberBytes4 number, std::int32_t decoded, const char* name) {
    ObjectEntry entry;
    entry.objNumber = number;
    entry.objectNumber = decoded;
    entry.name = name;
    return entry;
}

ColumnEntry column(NumberBytes4 table, std::uint8_t number, const char* name) {
    ColumnEntry entry;
    entry.objNumber = table;
    entry.columnNumber = number;
    entry.name = name;
    return entry;
}

constexpr NumberBytes4 kTableA{0xC2, 0x02, 0x0B, 0};  // 110
constexpr NumberBytes4 kTableB{0xC2, 0x02, 0x0C, 0};  // 111
constexpr NumberBytes5 kCon1{0xC2, 0x03, 0x01, 0, 0};
constexpr NumberBytes5 kCon2{0xC2, 0x03, 0x02, 0, 0};

TEST(CatalogAppend, UniquenessRules) {
    Catalog catalog;
    // Schemas: unique by exact name; a name differing only in case is another schema.
    EXPECT_TRUE(catalog.appendSchema(schema("SCOTT", 54)));
    EXPECT_FALSE(catalog.appendSchema(schema("SCOTT", 60)));
    EXPECT_TRUE(catalog.appendSchema(schema("Scott", 61)));
    ASSERT_EQ(catalog.schemaList.size(), 2u);
    EXPECT_EQ(catalog.schemaList[0].user(), 54);

    // Objects: unique by their stored bytes; the first one stays.
    EXPECT_TRUE(catalog.appendObject(object(kTableA, 110, "FIRST")));
    EXPECT_FALSE(catalog.appendObject(object(kTableA, 110, "SECOND")));
    EXPECT_TRUE(catalog.appendObject(object(kTableB, 111, "OTHER")));
    ASSERT_EQ(catalog.objectList.size(), 2u);
    EXPECT_EQ(catalog.objectList[0].name, "FIRST");

    // Source lines: unique by line number, whatever the text.
    EXPECT_TRUE(catalog.appendSourceLine({kTableA, 1, "PROCEDURE P IS"}));
    EXPECT_FALSE(catalog.appendSourceLine({kTableA, 1, "again"}));
    EXPECT_TRUE(catalog.appendSourceLine({kTableA, 2, "BEGIN NULL; END;"}));
    EXPECT_EQ(catalog.sourceLines.size(), 2u);

    // No rule for the other lists: equal records are all kept.
    EXPECT_TRUE(catalog.appendColumn(column(kTableA, 2, "ID")));
    EXPECT_TRUE(catalog.appendColumn(column(kTableA, 2, "ID")));
    EXPECT_TRUE(catalog.appendConstraintName({0, "PK", kCon1}));
    EXPECT_TRUE(catalog.appendConstraintName({0, "PK", kCon1}));
    EXPECT_EQ(catalog.columnList.size(), 2u);
    EXPECT_EQ(catalog.constraintNames.size(), 2u);
}

TEST(CatalogAppend, TableClusterKeysHoldNineteen) {
    Catalog catalog;
    for (std::uint16_t slot = 1; slot <= kMaxTableClusterKeys; ++slot)
        ASSERT_TRUE(catalog.appendTableClusterKey({kTableA, 7, slot}));
    EXPECT_FALSE(catalog.appendTableClusterKey({kTableB, 7, 20}));
    ASSERT_EQ(catalog.tableClusterKeys.size(), kMaxTableClusterKeys);
    EXPECT_EQ(catalog.tableClusterKeys.back().slot, kMaxTableClusterKeys);
    catalog.clearTableClusterKeys();
    EXPECT_TRUE(catalog.appendTableClusterKey({kTableB, 8, 1}));
}

TEST(CatalogLookup, FirstInListOrderWins) {
    Catalog catalog;
    catalog.appendSchema(schema("Scott", 54));
    catalog.appendSchema(schema("SCOTT", 55));
    catalog.appendSchema(schema("HR", 56));
    ASSERT_NE(catalog.findSchemaByName("scott"), nullptr);
    EXPECT_EQ(catalog.findSchemaByName("scott")->user(), 54);
    EXPECT_EQ(catalog.findSchemaByName("hR")->user(), 56);
    EXPECT_EQ(catalog.findSchemaByName("SCOT"), nullptr);
    EXPECT_EQ(catalog.findSchemaByUser(55)->name, "SCOTT");
    EXPECT_EQ(catalog.findSchemaByUser(1), nullptr);

    // Two objects whose bytes differ but decode alike: by number, the first.
    catalog.appendObject(object({0xC2, 0x02, 0, 0}, 100, "STORED_SHORT"));
    catalog.appendObject(object({0xC2, 0x02, 0x01, 0}, 100, "STORED_LONG"));
    EXPECT_EQ(catalog.findObjectByNumber(100)->name, "STORED_SHORT");
    EXPECT_EQ(catalog.findObject({0xC2, 0x02, 0x01, 0})->name, "STORED_LONG");
    EXPECT_EQ(catalog.findObject(kTableA), nullptr);
    EXPECT_EQ(catalog.findObjectByNumber(101), nullptr);
}

TEST(CatalogLookup, PerObjectAndPerConstraintListsKeepListOrder) {
    Catalog catalog;
    catalog.appendColumn(column(kTableA, 3, "A3"));
    catalog.appendColumn(column(kTableB, 2, "B2"));
    catalog.appendColumn(column(kTableA, 2, "A2"));
    const auto columns = catalog.columnsOf(kTableA);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0]->name, "A3");
    EXPECT_EQ(columns[1]->name, "A2");
    EXPECT_TRUE(catalog.columnsOf({0xC1, 0x02, 0, 0}).empty());

    ConstraintDefEntry def1{kCon1, kTableA, 2, {}, "", 0, 0};
    ConstraintDefEntry def2{kCon2, kTableB, 3, {}, "", 0, 0};
    ConstraintDefEntry def3{kCon2, kTableA, 7, {}, "X > 0", 0, 0};
    catalog.appendConstraintDef(def1);
    catalog.appendConstraintDef(def2);
    catalog.appendConstraintDef(def3);
    const auto defs = catalog.constraintDefsOf(kTableA);
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0]->conType, 2);
    EXPECT_EQ(defs[1]->condition, "X > 0");
    EXPECT_EQ(catalog.findConstraintDef(kCon2)->conType, 3);

    catalog.appendConstraintColumn({kCon2, 4, 0});
    catalog.appendConstraintColumn({kCon1, 1, 0});
    catalog.appendConstraintColumn({kCon2, 2, 0});
    const auto conColumns = catalog.constraintColumnsOf(kCon2);
    ASSERT_EQ(conColumns.size(), 2u);
    EXPECT_EQ(conColumns[0]->columnNumber, 4);
    EXPECT_EQ(conColumns[1]->columnNumber, 2);

    catalog.appendConstraintName({5, "FIRST_NAME", kCon1});
    catalog.appendConstraintName({5, "SECOND_NAME", kCon1});
    EXPECT_EQ(catalog.findConstraintName(kCon1)->name, "FIRST_NAME");
    EXPECT_EQ(catalog.findConstraintName(kCon2), nullptr);
}

// Fills every list with one record, as an analysis and one source read would.
Catalog filledCatalog() {
    Catalog catalog;
    catalog.appendSchema(schema("SCOTT", 54));
    catalog.appendObject(object(kTableA, 110, "EMP"));
    catalog.appendColumn(column(kTableA, 2, "ID"));
    catalog.appendConstraintName({54, "PK_EMP", kCon1});
    catalog.appendConstraintDef({kCon1, kTableA, 2, {}, "", 0, 0});
    catalog.appendConstraintColumn({kCon1, 1, 0});
    catalog.appendSourceLine({kTableA, 1, "x"});
    catalog.appendUserClusterKey({{0xC1, 0x37}, 1, 3});
    catalog.appendConstraintClusterKey({kTableA, 0, 4});
    catalog.appendTableClusterKey({kTableA, 5, 1});
    return catalog;
}

TEST(CatalogRelease, MainListsGoKeysAndSourceStay) {
    Catalog catalog = filledCatalog();
    catalog.releaseMainLists();
    EXPECT_TRUE(catalog.schemaList.empty());
    EXPECT_TRUE(catalog.objectList.empty());
    EXPECT_TRUE(catalog.columnList.empty());
    EXPECT_TRUE(catalog.constraintNames.empty());
    EXPECT_TRUE(catalog.constraintDefs.empty());
    EXPECT_TRUE(catalog.constraintColumns.empty());
    EXPECT_EQ(catalog.findObject(kTableA), nullptr);
    EXPECT_EQ(catalog.findObjectByNumber(110), nullptr);
    EXPECT_TRUE(catalog.columnsOf(kTableA).empty());
    EXPECT_TRUE(catalog.constraintDefsOf(kTableA).empty());
    EXPECT_TRUE(catalog.constraintColumnsOf(kCon1).empty());
    EXPECT_EQ(catalog.findConstraintName(kCon1), nullptr);
    EXPECT_EQ(catalog.sourceLines.size(), 1u);
    EXPECT_EQ(catalog.userClusterKeys.size(), 1u);
    EXPECT_EQ(catalog.constraintClusterKeys.size(), 1u);
    EXPECT_EQ(catalog.tableClusterKeys.size(), 1u);
    // The uniqueness indexes went with the lists.
    EXPECT_TRUE(catalog.appendSchema(schema("SCOTT", 54)));
    EXPECT_TRUE(catalog.appendObject(object(kTableA, 110, "EMP")));
    EXPECT_FALSE(catalog.appendSourceLine({kTableA, 1, "y"}));
}

TEST(CatalogRelease, ReleaseCatalogEmptiesEverything) {
    Catalog catalog = filledCatalog();
    catalog.releaseCatalog();
    EXPECT_TRUE(catalog.schemaList.empty());
    EXPECT_TRUE(catalog.objectList.empty());
    EXPECT_TRUE(catalog.columnList.empty());
    EXPECT_TRUE(catalog.constraintNames.empty());
    EXPECT_TRUE(catalog.constraintDefs.empty());
    EXPECT_TRUE(catalog.constraintColumns.empty());
    EXPECT_TRUE(catalog.sourceLines.empty());
    EXPECT_TRUE(catalog.userClusterKeys.empty());
    EXPECT_TRUE(catalog.constraintClusterKeys.empty());
    EXPECT_TRUE(catalog.tableClusterKeys.empty());
    EXPECT_TRUE(catalog.appendSourceLine({kTableA, 1, "y"}));
    EXPECT_TRUE(catalog.appendSchema(schema("SCOTT", 54)));
}

TEST(CatalogRelease, ClearSourceLinesForgetsLineNumbers) {
    Catalog catalog = filledCatalog();
    catalog.clearSourceLines();
    EXPECT_TRUE(catalog.sourceLines.empty());
    EXPECT_TRUE(catalog.appendSourceLine({kTableB, 1, "next object's first line"}));
    EXPECT_EQ(catalog.objectList.size(), 1u);
}

}  // namespace
