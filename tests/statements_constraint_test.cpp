#include <gtest/gtest.h>

#include "output/constraint_statements.h"

using namespace restorix;

namespace {

constexpr std::uint8_t kTableType = 2;

DictionaryNumber objectNumber(int n) { return 100 + n; }
DictionaryNumber constraintNumber(int n) { return 10100 + n; }

// A catalog of three schemas whose tables carry the constraints under test.
class ConstraintCatalog : public ::testing::Test {
protected:
    void SetUp() override {
        addSchema("HR", 5);
        addSchema("SALES", 6);
        addSchema("STOCK", 7);
        // A column numbered like EMP's A, listed first but of another table.
        addTable(50, "OTHER", 5, {{"NOT_EMP_A", 5}});
        addTable(1, "EMP", 5, {{"EMPNO", 1}, {"ENAME", 2}, {"MGR", 3}, {"SAL", 4}, {"A", 5}, {"B", 6}, {"A_DUP", 5}});
        addTable(2, "A/B", 5, {{"ID", 1}});
        addTable(3, "ORDER", 5, {{"X", 1}});
        addTable(4, "ORDER_LINES", 6, {{"LINE_NO", 1}, {"ITEM_NO", 2}, {"ITEM_OWNER", 3}});
        addTable(5, "ITEMS", 7, {{"NO", 1}, {"OWNER", 2}});
        addTable(6, "T", 9, {{"K", 1}});  // owner without schema entry

        addConstraint(1, "EMP_PK", 1, kPrimaryKey, {5, 6});
        addConstraint(2, "EMP_UK", 1, kUniqueKey, {6, 5});
        addConstraint(3, "", 1, kCheckConstraint, {}, 0, "SAL > 0");
        addConstraint(4, "SYS_C0042", 1, kNotNullCheck, {2}, 0, "\"ENAME\" IS NOT NULL");
        addConstraint(5, "EMP_MGR_FK", 1, kForeignKey, {3}, 6);
        addConstraint(6, "EMP_EMPNO_PK", 1, kPrimaryKey, {1});
        addConstraint(7, "ITEMS_PK", 5, kPrimaryKey, {2, 1});
        addConstraint(8, "OL_ITEM_FK", 4, kForeignKey, {3, 2}, 7);
        addConstraint(9, "AB_FK", 2, kForeignKey, {1}, 10);
        addConstraint(10, "T_PK", 6, kPrimaryKey, {1});
        addConstraint(11, "BAD_FK", 1, kForeignKey, {2}, 99);
        addConstraint(12, "", 1, kPrimaryKey, {1});
        addConstraint(13, "GAP_UK", 1, kUniqueKey, {9, 5});
        addConstraint(14, "OTHER_KIND", 1, 5, {1});
        addConstraint(15, "order", 3, kUniqueKey, {1});
        addConstraint(16, "LOST_REF_FK", 1, kForeignKey, {1}, 17);
        addConstraint(17, "LOST_PK", 77, kPrimaryKey, {1});  // its table is not in the catalog
        addConstraint(18, "DUP", 1, kCheckConstraint, {}, 0, "1 = 1");
        addConstraint(19, "DUP", 3, kCheckConstraint, {}, 0, "2 = 2");
        addConstraint(20, "LOST_CK", 77, kCheckConstraint, {}, 0, "X > 0");
    }

    void addSchema(const std::string& name, std::uint8_t user) {
        SchemaEntry schema;
        schema.userNumber = user;
        schema.name = name;
        catalog.appendSchema(schema);
    }

    void addTable(std::uint8_t number, const std::string& name, std::uint8_t owner,
                  const std::vector<std::pair<std::string, std::uint8_t>>& columns) {
        ObjectEntry table;
        table.objNumber = objectNumber(number);
        table.ownerNumber = owner;
        table.objType = kTableType;
        table.name = name;
        catalog.appendObject(table);
        for (const auto& [columnName, columnNumber] : columns) {
            ColumnEntry column;
            column.objNumber = table.objNumber;
            column.columnNumber = columnNumber;
            column.name = columnName;
            catalog.appendColumn(column);
        }
    }

    void addConstraint(std::uint8_t number, const std::string& name, std::uint8_t table, int type,
                       const std::vector<int>& columns, std::uint8_t referenced = 0,
                       const std::string& condition = "") {
        if (!name.empty()) {
            ConstraintNameEntry nameEntry;
            nameEntry.name = name;
            nameEntry.conNumber = constraintNumber(number);
            catalog.appendConstraintName(nameEntry);
        }
        ConstraintDefEntry def;
        def.conNumber = constraintNumber(number);
        def.objNumber = objectNumber(table);
        def.conType = static_cast<std::uint8_t>(type);
        if (referenced != 0) def.refConNumber = constraintNumber(referenced);
        def.condition = condition;
        catalog.appendConstraintDef(def);
        for (int column : columns) {
            ConstraintColumnEntry entry;
            entry.conNumber = def.conNumber;
            entry.columnNumber = column;
            catalog.appendConstraintColumn(entry);
        }
    }

    const ConstraintDefEntry& def(std::uint8_t number) const {
        return *catalog.findConstraintDef(constraintNumber(number));
    }

    Catalog catalog;
};

TEST_F(ConstraintCatalog, ColumnListFollowsConstraintOrderAndTheTablesOwnColumns) {
    EXPECT_EQ(constraintColumnList(catalog, def(1)), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(constraintColumnList(catalog, def(2)), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(constraintColumnList(catalog, def(8)), (std::vector<std::string>{"ITEM_OWNER", "ITEM_NO"}));
    EXPECT_EQ(constraintColumnList(catalog, def(13)), (std::vector<std::string>{"A"}));
    EXPECT_TRUE(constraintColumnList(catalog, def(3)).empty());
}

TEST_F(ConstraintCatalog, ReferencedTableIsQualifiedByItsOwnSchema) {
    EXPECT_EQ(referencedTableName(catalog, def(5)), "HR.EMP");
    EXPECT_EQ(referencedTableName(catalog, def(8)), "STOCK.ITEMS");
    EXPECT_EQ(referencedTableName(catalog, def(9)), "T");
    EXPECT_EQ(referencedTableName(catalog, def(11)), std::nullopt);
    EXPECT_EQ(referencedTableName(catalog, def(16)), std::nullopt);
}

struct ScriptCase {
    const char* label;
    std::uint8_t constraint;
    const char* schema;
    const char* table;
    const char* index;
    const char* constraints;
};

void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.label; }

class ConstraintScriptTest : public ConstraintCatalog, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(ConstraintScriptTest, WritesStatements) {
    const ScriptCase& c = GetParam();
    const ConstraintScriptTexts texts = constraintScriptTexts(catalog, c.schema, c.table, def(c.constraint));
    EXPECT_EQ(texts.indexText, c.index);
    EXPECT_EQ(texts.constraintText, c.constraints);
}

INSTANTIATE_TEST_SUITE_P(
    Definitions, ConstraintScriptTest,
    ::testing::Values(
        ScriptCase{"two-column primary key", 1, "HR", "EMP",
                   "CREATE UNIQUE INDEX HR.EMP_PK on HR.EMP(\"A\",\"B\");\r\n\r\n",
                   "ALTER TABLE HR.EMP ADD CONSTRAINT EMP_PK PRIMARY KEY (\"A\",\"B\");\r\n\r\n"},
        ScriptCase{"unique key in constraint-column order", 2, "HR", "EMP", "",
                   "ALTER TABLE HR.EMP ADD CONSTRAINT EMP_UK UNIQUE (\"B\",\"A\");\r\n\r\n"},
        ScriptCase{"type 1 check without a blank and without a name", 3, "HR", "EMP", "",
                   "ALTER TABLE HR.EMP ADD CHECK(SAL > 0);\r\n\r\n"},
        ScriptCase{"type 7 check with a blank", 4, "HR", "EMP", "",
                   "ALTER TABLE HR.EMP ADD CHECK (\"ENAME\" IS NOT NULL);\r\n\r\n"},
        ScriptCase{"self-referencing foreign key EMP.MGR to EMP.EMPNO", 5, "HR", "EMP", "",
                   "ALTER TABLE HR.EMP ADD CONSTRAINT EMP_MGR_FK FOREIGN KEY (\"MGR\") "
                   "REFERENCES HR.EMP(\"EMPNO\");\r\n\r\n"},
        ScriptCase{"two-column cross-schema foreign key", 8, "SALES", "ORDER_LINES", "",
                   "ALTER TABLE SALES.ORDER_LINES ADD CONSTRAINT OL_ITEM_FK FOREIGN KEY "
                   "(\"ITEM_OWNER\",\"ITEM_NO\") REFERENCES STOCK.ITEMS(\"OWNER\",\"NO\");\r\n\r\n"},
        ScriptCase{"table A/B and a referenced owner without schema", 9, "HR", "A/B", "",
                   "ALTER TABLE HR.A_B ADD CONSTRAINT AB_FK FOREIGN KEY (\"ID\") REFERENCES T(\"K\");\r\n\r\n"},
        ScriptCase{"reserved table and constraint names", 15, "HR", "ORDER", "",
                   "ALTER TABLE HR.\"ORDER\" ADD CONSTRAINT \"order\" UNIQUE (\"X\");\r\n\r\n"},
        ScriptCase{"foreign key to an unknown constraint is skipped", 11, "HR", "EMP", "", ""},
        ScriptCase{"foreign key to a table not in the catalog is skipped", 16, "HR", "EMP", "", ""},
        ScriptCase{"primary key without a name is skipped", 12, "HR", "EMP", "", ""},
        ScriptCase{"unique key with a missing column is skipped", 13, "HR", "EMP", "", ""},
        ScriptCase{"other constraint types write nothing", 14, "HR", "EMP", "", ""}));

struct PreviewCase {
    const char* label;
    const char* schema;
    const char* name;
    std::optional<std::pair<std::string, std::string>> expected;  // header, statement
};

void PrintTo(const PreviewCase& c, std::ostream* os) { *os << c.label; }

class ConstraintPreviewTest : public ConstraintCatalog, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(ConstraintPreviewTest, ShowsStatement) {
    const PreviewCase& c = GetParam();
    const std::optional<ConstraintPreview> preview = constraintPreview(catalog, c.schema, c.name);
    ASSERT_EQ(preview.has_value(), c.expected.has_value());
    if (!preview) return;
    EXPECT_EQ(preview->header, c.expected->first);
    EXPECT_EQ(preview->statement, c.expected->second);
}

using Shown = std::pair<std::string, std::string>;

INSTANTIATE_TEST_SUITE_P(
    Constraints, ConstraintPreviewTest,
    ::testing::Values(
        PreviewCase{"primary key as its index, name ignoring case", "HR", "emp_pk",
                    Shown{"DDL FOR INDEX", "CREATE UNIQUE INDEX HR.EMP_PK ON HR.EMP(\"A\",\"B\")"}},
        PreviewCase{"unique key keeps its blank after the parenthesis", "HR", "EMP_UK",
                    Shown{"DDL FOR CONSTRAINTS", "ALTER TABLE HR.EMP ADD CONSTRAINT EMP_UK UNIQUE ( \"B\",\"A\")"}},
        PreviewCase{"self-referencing foreign key", "HR", "EMP_MGR_FK",
                    Shown{"DDL FOR CONSTRAINTS", "ALTER TABLE HR.EMP ADD CONSTRAINT EMP_MGR_FK FOREIGN KEY "
                                                 "(\"MGR\") REFERENCES HR.EMP(\"EMPNO\")"}},
        PreviewCase{"cross-schema two-column foreign key", "SALES", "OL_ITEM_FK",
                    Shown{"DDL FOR CONSTRAINTS",
                          "ALTER TABLE SALES.ORDER_LINES ADD CONSTRAINT OL_ITEM_FK FOREIGN KEY "
                          "(\"ITEM_OWNER\",\"ITEM_NO\") REFERENCES STOCK.ITEMS(\"OWNER\",\"NO\")"}},
        PreviewCase{"type 7 check shown without a blank", "HR", "SYS_C0042",
                    Shown{"DDL FOR CONSTRAINTS", "ALTER TABLE HR.EMP ADD CHECK(\"ENAME\" IS NOT NULL)"}},
        PreviewCase{"the first of two equal names wins", "HR", "DUP",
                    Shown{"DDL FOR CONSTRAINTS", "ALTER TABLE HR.EMP ADD CHECK(1 = 1)"}},
        PreviewCase{"unknown referenced constraint leaves its part empty", "HR", "BAD_FK",
                    Shown{"DDL FOR CONSTRAINTS", "ALTER TABLE HR.EMP ADD CONSTRAINT BAD_FK FOREIGN KEY "
                                                 "(\"ENAME\") REFERENCES ()"}},
        PreviewCase{"table not in the catalog leaves its name empty", "HR", "LOST_CK",
                    Shown{"DDL FOR CONSTRAINTS", "ALTER TABLE HR. ADD CHECK(X > 0)"}},
        PreviewCase{"other constraint types show nothing", "HR", "OTHER_KIND", std::nullopt},
        PreviewCase{"unknown name shows nothing", "HR", "NO_SUCH", std::nullopt}));

}  // namespace
