#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "dictionary/catalog.h"

using namespace restorix;

namespace {

// The one NUMBER decoder of dictionary keys: any length, by value.
struct IntegerCase {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::optional<std::int64_t> expected;
};

class DictionaryInteger : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(DictionaryInteger, Decodes) {
    EXPECT_EQ(decodeInteger(GetParam().bytes), GetParam().expected) << GetParam().what;
    const DictionaryNumber key = GetParam().expected && *GetParam().expected >= 0 ? *GetParam().expected : kNoNumber;
    EXPECT_EQ(dictionaryNumber(GetParam().bytes), key) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DictionaryInteger,
    ::testing::Values(IntegerCase{"80 is 0", {0x80}, 0},
                      IntegerCase{"C1 02 is 1", {0xC1, 0x02}, 1},
                      IntegerCase{"C1 64 is 99", {0xC1, 0x64}, 99},
                      IntegerCase{"C2 02 is 100 (trailing zero pairs are not stored)", {0xC2, 0x02}, 100},
                      IntegerCase{"C2 06 is user 500, not user 5", {0xC2, 0x06}, 500},
                      IntegerCase{"C2 0B 2E is 1045", {0xC2, 0x0B, 0x2E}, 1045},
                      IntegerCase{"C3 0D 23 39 is 123456", {0xC3, 0x0D, 0x23, 0x39}, 123456},
                      IntegerCase{"C4 02 18 2E 44 is 1234567: five bytes", {0xC4, 0x02, 0x18, 0x2E, 0x44}, 1234567},
                      IntegerCase{"C5 2B 5F 61 49 5E is 4294967293", {0xC5, 0x2B, 0x5F, 0x61, 0x49, 0x5E}, 4294967293},
                      IntegerCase{"3E 64 66 is -1: no key", {0x3E, 0x64, 0x66}, -1},
                      IntegerCase{"C1 02 33 (1.5) has a fraction", {0xC1, 0x02, 0x33}, std::nullopt},
                      IntegerCase{"C0 33 (0.5) has a fraction", {0xC0, 0x33}, std::nullopt},
                      IntegerCase{"a zero digit byte is no NUMBER", {0xC2, 0x00, 0x05}, std::nullopt},
                      IntegerCase{"C1 alone is no NUMBER", {0xC1}, std::nullopt},
                      IntegerCase{"beyond 18 digits", {0xCB, 0x02}, std::nullopt},
                      IntegerCase{"no bytes", {}, std::nullopt}));

SchemaEntry schema(const char* name, DictionaryNumber user) {
    SchemaEntry entry;
    entry.name = name;
    entry.userNumber = user;
    return entry;
}

ObjectEntry object(DictionaryNumber number, const char* name) {
    ObjectEntry entry;
    entry.objNumber = number;
    entry.objectNumber = static_cast<std::int32_t>(number);
    entry.name = name;
    return entry;
}

ColumnEntry column(DictionaryNumber table, int number, const char* name) {
    ColumnEntry entry;
    entry.objNumber = table;
    entry.columnNumber = number;
    entry.name = name;
    return entry;
}

constexpr DictionaryNumber kTableA = 110;
constexpr DictionaryNumber kTableB = 111;
constexpr DictionaryNumber kCon1 = 200;
constexpr DictionaryNumber kCon2 = 201;

TEST(CatalogAppend, UniquenessRules) {
    Catalog catalog;
    // Schemas: unique by exact name; a name differing only in case is another schema.
    EXPECT_TRUE(catalog.appendSchema(schema("SCOTT", 54)));
    EXPECT_FALSE(catalog.appendSchema(schema("SCOTT", 60)));
    EXPECT_TRUE(catalog.appendSchema(schema("Scott", 61)));
    ASSERT_EQ(catalog.schemaList.size(), 2u);
    EXPECT_EQ(catalog.schemaList[0].userNumber, 54);

    // Objects: unique by their stored bytes; the first one stays.
    EXPECT_TRUE(catalog.appendObject(object(kTableA, "FIRST")));
    EXPECT_FALSE(catalog.appendObject(object(kTableA, "SECOND")));
    EXPECT_TRUE(catalog.appendObject(object(kTableB, "OTHER")));
    ASSERT_EQ(catalog.objectList.size(), 2u);
    EXPECT_EQ(catalog.objectList[0].name, "FIRST");

    // Source lines: unique by line number, whatever the text.
    SourceLines source;
    EXPECT_TRUE(source.append({kTableA, 1, "PROCEDURE P IS"}));
    EXPECT_FALSE(source.append({kTableA, 1, "again"}));
    EXPECT_TRUE(source.append({kTableA, 2, "BEGIN NULL; END;"}));
    EXPECT_EQ(source.lines().size(), 2u);

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
    catalog.appendSchema(schema("BIG", 500));
    ASSERT_NE(catalog.findSchemaByName("scott"), nullptr);
    EXPECT_EQ(catalog.findSchemaByName("scott")->userNumber, 54);
    EXPECT_EQ(catalog.findSchemaByName("hR")->userNumber, 56);
    EXPECT_EQ(catalog.findSchemaByName("SCOT"), nullptr);
    EXPECT_EQ(catalog.findSchemaByUser(55)->name, "SCOTT");
    EXPECT_EQ(catalog.findSchemaByUser(1), nullptr);

    // Owners are found by value: user 500 is not user 5.
    ObjectEntry owned = object(kTableA, "T");
    owned.ownerNumber = 500;
    EXPECT_EQ(catalog.ownerOf(owned)->name, "BIG");
    EXPECT_TRUE(ownedBy(owned, catalog.schemaList[3]));
    owned.ownerNumber = 5;
    EXPECT_EQ(catalog.ownerOf(owned), nullptr);
    EXPECT_FALSE(ownedBy(owned, catalog.schemaList[3]));

    catalog.appendObject(object(100, "FIRST"));
    EXPECT_FALSE(catalog.appendObject(object(100, "SECOND")));
    EXPECT_EQ(catalog.findObject(100)->name, "FIRST");
    EXPECT_EQ(catalog.findObject(kTableA), nullptr);
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
    EXPECT_TRUE(catalog.columnsOf(1).empty());

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

// Fills every list with one record, as an analysis would.
Catalog filledCatalog() {
    Catalog catalog;
    catalog.appendSchema(schema("SCOTT", 54));
    catalog.appendObject(object(kTableA, "EMP"));
    catalog.appendColumn(column(kTableA, 2, "ID"));
    catalog.appendConstraintName({54, "PK_EMP", kCon1});
    catalog.appendConstraintDef({kCon1, kTableA, 2, {}, "", 0, 0});
    catalog.appendConstraintColumn({kCon1, 1, 0});
    catalog.appendUserClusterKey({54, 1, 3});
    catalog.appendConstraintClusterKey({kTableA, 0, 4});
    catalog.appendTableClusterKey({kTableA, 5, 1});
    return catalog;
}

TEST(CatalogRelease, MainListsGoKeysStay) {
    Catalog catalog = filledCatalog();
    catalog.releaseMainLists();
    EXPECT_TRUE(catalog.schemaList.empty());
    EXPECT_TRUE(catalog.objectList.empty());
    EXPECT_TRUE(catalog.columnList.empty());
    EXPECT_TRUE(catalog.constraintNames.empty());
    EXPECT_TRUE(catalog.constraintDefs.empty());
    EXPECT_TRUE(catalog.constraintColumns.empty());
    EXPECT_EQ(catalog.findObject(kTableA), nullptr);
    EXPECT_TRUE(catalog.columnsOf(kTableA).empty());
    EXPECT_TRUE(catalog.constraintDefsOf(kTableA).empty());
    EXPECT_TRUE(catalog.constraintColumnsOf(kCon1).empty());
    EXPECT_EQ(catalog.findConstraintName(kCon1), nullptr);
    EXPECT_EQ(catalog.userClusterKeys.size(), 1u);
    EXPECT_EQ(catalog.constraintClusterKeys.size(), 1u);
    EXPECT_EQ(catalog.tableClusterKeys.size(), 1u);
    // The uniqueness indexes went with the lists.
    EXPECT_TRUE(catalog.appendSchema(schema("SCOTT", 54)));
    EXPECT_TRUE(catalog.appendObject(object(kTableA, "EMP")));
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
    EXPECT_TRUE(catalog.userClusterKeys.empty());
    EXPECT_TRUE(catalog.constraintClusterKeys.empty());
    EXPECT_TRUE(catalog.tableClusterKeys.empty());
    EXPECT_TRUE(catalog.appendSchema(schema("SCOTT", 54)));
}

}  // namespace
