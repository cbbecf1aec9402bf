#include <gtest/gtest.h>

#include "preview/object_tree.h"

using namespace restorix;

namespace {

DictionaryNumber obj(int n) { return n; }
DictionaryNumber con(int n) { return n; }

void addSchema(Catalog& c, const std::string& name, int user) {
    c.appendSchema({user, 1, name, 0});
}
void addObject(Catalog& c, int number, int owner, int type, const std::string& name) {
    ObjectEntry e;
    e.objNumber = obj(number);
    e.ownerNumber = owner;
    e.objType = type;
    e.name = name;
    e.objectNumber = number;
    e.dataObjectNumber = number;
    c.appendObject(e);
}
void addConstraint(Catalog& c, int number, int table, int type, const std::string& name) {
    c.appendConstraintName({0, name, con(number)});
    ConstraintDefEntry d;
    d.conNumber = con(number);
    d.objNumber = obj(table);
    d.conType = static_cast<std::uint8_t>(type);
    c.appendConstraintDef(d);
}

Catalog sampleCatalog() {
    Catalog c;
    addSchema(c, "HR", 30);
    addSchema(c, "EMPTY", 31);
    addSchema(c, "SALES", 32);
    addObject(c, 200, 30, kTable, "EMP");
    addObject(c, 201, 30, kView, "EMP_V");
    addObject(c, 202, 32, kTable, "EMP");  // same name, other schema
    addObject(c, 203, 30, kProcedure, "RAISE");
    addObject(c, 204, 30, kFunction, "BONUS");
    addObject(c, 205, 30, kTrigger, "EMP_T");
    addConstraint(c, 300, 200, 2, "EMP_PK");
    addConstraint(c, 301, 200, 7, "SYS_C001");
    addConstraint(c, 302, 200, 4, "EMP_FK");
    addConstraint(c, 303, 200, 9, "ODD_TYPE");
    addConstraint(c, 304, 202, 3, "");  // no name: no node
    return c;
}

}  // namespace

TEST(ObjectTree, SchemasCategoriesAndObjectsInCatalogOrder) {
    const Catalog catalog = sampleCatalog();
    const ObjectTree tree = buildObjectTree(catalog, "/DATA/SYSTEM01.DBF");
    EXPECT_EQ(tree.root, "/DATA/SYSTEM01.DBF");
    ASSERT_EQ(tree.schemas.size(), 3u);
    const SchemaNode& hr = tree.schemas[0];
    EXPECT_EQ(hr.nodes(Category::Table), std::vector<std::string>{"EMP"});
    EXPECT_EQ(hr.nodes(Category::View), std::vector<std::string>{"EMP_V"});
    EXPECT_EQ(hr.nodes(Category::Procedure), std::vector<std::string>{"RAISE"});
    EXPECT_EQ(hr.nodes(Category::Function), std::vector<std::string>{"BONUS"});
    EXPECT_EQ(hr.nodes(Category::Trigger), std::vector<std::string>{"EMP_T"});
    // A primary key is listed under Index and Constraints; a check once; unknown types not at all.
    EXPECT_EQ(hr.nodes(Category::Index), std::vector<std::string>{"EMP_PK"});
    EXPECT_EQ(hr.nodes(Category::Constraints), (std::vector<std::string>{"EMP_PK", "SYS_C001", "EMP_FK"}));
    EXPECT_EQ(tree.schemas[2].nodes(Category::Table), std::vector<std::string>{"EMP"});
    EXPECT_TRUE(tree.schemas[2].nodes(Category::Constraints).empty());
}

TEST(ObjectTree, SchemaWithoutObjectsHasSevenEmptyCategoriesAndZeroSummary) {
    const ObjectTree tree = buildObjectTree(sampleCatalog(), "X");
    const SchemaNode& empty = tree.schemas[1];
    for (const auto& nodes : empty.categories) EXPECT_TRUE(nodes.empty());
    EXPECT_EQ(showSchemaSummary(empty.stats),
              (std::vector<std::string>{"Total No of Table: 0", "Total No of View: 0", "Total No of Trigger: 0",
                                        "Total No of Procedure: 0", "Total No of Function: 0"}));
}

TEST(ObjectTree, DatabaseSummaryCountsEverySchema) {
    const ObjectTree tree = buildObjectTree(sampleCatalog(), "X");
    EXPECT_EQ(showDatabaseSummary(tree.totals),
              (std::vector<std::string>{"Total No of Schema: 3", "Total No of Table: 2", "Total No of View: 1",
                                        "Total No of Trigger: 1", "Total No of Procedure: 1",
                                        "Total No of Function: 1"}));
    EXPECT_EQ(tree.schemas[0].stats.tables, 1);
    EXPECT_EQ(tree.schemas[2].stats.tables, 1);
}

TEST(ObjectTree, EmptyCatalogGivesARootAlone) {
    const ObjectTree tree = buildObjectTree(Catalog{}, "R");
    EXPECT_TRUE(tree.schemas.empty());
    EXPECT_EQ(showDatabaseSummary(tree.totals)[0], "Total No of Schema: 0");
}
