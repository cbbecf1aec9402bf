// The dictionary rows of forged files read back column by column: what the
// decoders find must be what the scenario says, in the layout of each release.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "dictionary/catalog.h"
#include "platform/codepage.h"
#include "tools/forge/dictionary_objects.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/forge_plan.h"
#include "tests/temp_folder.h"

namespace fs = std::filesystem;
using namespace restorix;
using namespace restorix::forge;

namespace {

constexpr std::uint8_t kKeyFlag = 0xAC;
constexpr std::uint8_t kMemberFlag = 0x6C;
constexpr std::uint8_t kLiveFlag = 0x2C;

int number(const Column& column) {
    if (!column) return -1;
    return static_cast<int>(dictionaryNumber(*column));
}

std::string text(const Column& column) { return column ? fromCodePage(*column) : std::string("<null>"); }

const Bytes& bytes(const Column& column) {
    static const Bytes none;
    return column ? *column : none;
}

// The member rows of a cluster with the key row they name by byte 3: the
// key rows of the member's own block, counted from 0.
struct KeyedMember {
    const FileRowPiece* row;
    Bytes key;
};
std::vector<KeyedMember> clusterMembers(const FileRows& rows, std::int32_t cluster) {
    std::vector<KeyedMember> members;
    std::map<std::int64_t, std::vector<Bytes>> keysOfBlock;
    for (const FileRowPiece* piece : rows.of(cluster)) {
        auto& keys = keysOfBlock[piece->block];
        if (piece->flag == kKeyFlag) {
            keys.push_back(bytes(piece->columns.at(0)));
            continue;
        }
        if (!piece->keyIndex) continue;
        EXPECT_LT(*piece->keyIndex, keys.size()) << "member before its key, block " << piece->block;
        if (*piece->keyIndex < keys.size()) members.push_back({piece, keys[*piece->keyIndex]});
    }
    return members;
}

const char* const kAllTypes[][2] = {
    {"C_VARCHAR2", "VARCHAR2(30)"},  {"C_CHAR", "CHAR(9)"},       {"C_NUMBER", "NUMBER"},
    {"C_NUMBER_P", "NUMBER(4)"},     {"C_NUMBER_PS", "NUMBER(10,2)"}, {"C_NUMBER_S", "NUMBER(*,2)"},
    {"C_FLOAT", "FLOAT(126)"},       {"C_DATE", "DATE"},           {"C_TS", "TIMESTAMP(6)"},
    {"C_TS0", "TIMESTAMP(0)"},       {"C_TSTZ", "TIMESTAMP(3) WITH TIME ZONE"},
    {"C_TSLTZ", "TIMESTAMP(9) WITH LOCAL TIME ZONE"},              {"C_CLOB", "CLOB"},
    {"C_BLOB", "BLOB"},              {"C_RAW", "RAW(16)"},         {"C_LONG", "LONG"},
    {"C_ROWID", "ROWID"},            {"C_BIG", "VARCHAR2(4000)"},
};

// What COL$ holds for each of kAllTypes: TYPE#, LENGTH, PRECISION#, SCALE (-1: NULL).
struct ColExpectation {
    int type, length, precision, scale;
};
const ColExpectation kColExpectations[] = {
    {1, 30, -1, -1},   {96, 9, -1, -1},   {2, 22, -1, -1},  {2, 22, 4, 0},     {2, 22, 10, 2},  {2, 22, -1, 2},
    {2, 22, 126, -1},  {12, 7, -1, -1},   {180, 11, -1, 6}, {180, 11, -1, 0},  {181, 13, -1, 3},
    {231, 11, -1, 9},  {112, 4000, -1, -1}, {113, 4000, -1, -1}, {23, 16, -1, -1}, {8, 0, -1, -1},
    {69, 10, -1, -1},  {1, 4000, -1, -1},
};

constexpr int kManyUsers = 40;
constexpr int kWideTableColumns = 220;

Scenario dictionaryScenario() {
    Scenario s;
    s.user("SYS", 0).table("TAB_SYS", 400).column("X", "NUMBER").row({"1"});
    s.role("PUBLIC", 1);
    s.role("CONNECT", 2);
    s.role("DBA", 4);
    for (int u = 0; u < kManyUsers; ++u) s.user("U" + std::to_string(u), 50 + u);

    SchemaDef& hr = s.user("HR", 30);
    TableDef& all = hr.table("ALL_TYPES");
    for (const auto& [name, type] : kAllTypes) all.column(name, type);
    hr.table("EMP")
        .column("EMPNO", "NUMBER(4)", true)
        .column("ENAME", "VARCHAR2(10)", true)
        .column("MGR", "NUMBER(4)")
        .column("SAL", "NUMBER(7,2)");
    TableDef& wide = hr.table("WIDE");
    for (int c = 1; c <= kWideTableColumns; ++c) wide.column("A_RATHER_LONG_COLUMN_NAME_" + std::to_string(c), "NUMBER");
    TableDef& truncated = hr.table("TRUNCATED", 60100);
    truncated.dataObjectNumber = 60200;
    truncated.column("X", "NUMBER");
    hr.table("GONE").column("X", "NUMBER").dropped = true;
    hr.primaryKey("GONE_PK", "GONE", {"X"});
    hr.primaryKey("EMP_PK", "EMP", {"EMPNO"});
    hr.unique("EMP_NAME_UK", "EMP", {"ENAME", "EMPNO"});
    hr.foreignKey("EMP_MGR_FK", "EMP", {"MGR"}, "", "EMP_PK");
    hr.check("EMP_SAL_CK", "EMP", "SAL > 0 AND SAL < 100000");
    hr.view("EMP_V", "select EMPNO, ENAME from EMP", {"EMPNO", "ENAME"});
    hr.view("LONG_V", "select EMPNO from EMP where " + std::string(300, ' ') + "1 = 1", {"EMPNO"});
    TriggerDef& row = hr.trigger("EMP_BIU", TriggerTiming::BeforeEachRow, "EMP", "begin null; end;");
    row.onInsert = row.onUpdate = true;
    row.when = "new.sal > 0";
    hr.trigger("AFTER_LOGON", TriggerTiming::AfterStatement, "", "begin\n  null;\nend;");
    hr.procedure("P1", "PROCEDURE P1 IS\nBEGIN\n  -- " + std::string(280, 'x') + "\n  NULL;\nEND;\n");
    hr.function("F1", "FUNCTION F1 RETURN NUMBER IS\nBEGIN\n  RETURN 1;\nEND;\n");

    SchemaDef& sales = s.user("SALES", 31);
    sales.table("ORDERS").column("ORDER_ID", "NUMBER").column("REP", "NUMBER(4)");
    sales.foreignKey("ORDERS_REP_FK", "ORDERS", {"REP"}, "HR", "EMP_PK");
    return s;
}

class ForgeDictionary : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        path_ = (folder_ / "dictionary.dbf").string();
        writeDatafile(scenario_, path_, {.release = GetParam()});
        rows_ = readFileRows(path_);
        plan_ = planScenario(scenario_);
    }
    const ReleaseLayout& layout() const { return layoutOf(releaseFromNumber(GetParam())); }
    std::int32_t objectOf(std::string_view schema, std::string_view name) const {
        const int owner = scenario_.findSchema(schema)->userNumber;
        for (const PlannedObject& o : plan_.objects)
            if (o.owner == owner && o.name == name && o.kind != ObjectKind::Index) return o.objectNumber;
        ADD_FAILURE() << "no object " << name;
        return 0;
    }
    std::int32_t constraintNumber(std::string_view name) const {
        for (const FileRowPiece* con : rows_.of(kConObject))
            if (text(con->columns.at(1)) == name) return number(con->columns.at(2));
        ADD_FAILURE() << "no CON$ row " << name;
        return 0;
    }

    Scenario scenario_ = dictionaryScenario();
    ForgePlan plan_;
    restorix::test::TempFolder folder_{"restorix-forge-dictionary-"};
    std::string path_;
    FileRows rows_;
};

}  // namespace

TEST_P(ForgeDictionary, UserRowsNameTheirKeysInTheirOwnBlock) {
    std::map<int, std::pair<std::string, Bytes>> users;  // user number -> name, TYPE#
    for (const KeyedMember& m : clusterMembers(rows_, kUserClusterObject)) {
        ASSERT_EQ(m.row->flag, kMemberFlag);
        ASSERT_EQ(m.row->columnCount, layout().userColumns);
        const int user = static_cast<int>(dictionaryNumber(m.key));
        EXPECT_TRUE(users.emplace(user, std::make_pair(text(m.row->columns[0]), bytes(m.row->columns[1]))).second);
    }
    ASSERT_EQ(users.size(), scenario_.schemas.size());
    for (const SchemaDef& schema : scenario_.schemas) {
        SCOPED_TRACE(schema.name);
        EXPECT_EQ(users[schema.userNumber].first, schema.name);
        EXPECT_EQ(users[schema.userNumber].second, (schema.role ? Bytes{0x80} : Bytes{0xC1, 0x02}));
    }
    std::map<std::int64_t, int> keysPerBlock;
    for (const FileRowPiece* piece : rows_.of(kUserClusterObject))
        if (piece->flag == kKeyFlag) ++keysPerBlock[piece->block];
    EXPECT_GT(keysPerBlock.size(), 1u);
    EXPECT_GT(keysPerBlock.begin()->second, 1);
}

TEST_P(ForgeDictionary, ObjectRowsCarryNumbersOwnersNamesAndTypes) {
    std::map<int, const FileRowPiece*> byNumber;
    for (const FileRowPiece* row : rows_.of(kObjObject)) {
        ASSERT_EQ(row->columnCount, layout().objColumns);
        byNumber[number(row->columns.at(0))] = row;
    }
    ASSERT_EQ(byNumber.size(), plan_.objects.size());
    struct Case {
        std::string schema, name;
        int type;
        bool hasSegment;
    };
    for (const Case& c : {Case{"HR", "EMP", 2, true}, Case{"HR", "EMP_V", 4, false}, Case{"HR", "EMP_BIU", 12, false},
                          Case{"HR", "P1", 7, false}, Case{"HR", "F1", 8, false}, Case{"SYS", "TAB_SYS", 2, true}}) {
        SCOPED_TRACE(c.name);
        const FileRowPiece* row = byNumber.at(objectOf(c.schema, c.name));
        EXPECT_EQ(row->flag, kLiveFlag);
        EXPECT_EQ(number(row->columns[2]), scenario_.findSchema(c.schema)->userNumber);
        EXPECT_EQ(text(row->columns[3]), c.name);
        EXPECT_EQ(number(row->columns[6]), c.type);
        EXPECT_EQ(row->columns[1].has_value(), c.hasSegment);
    }
    EXPECT_EQ(bytes(byNumber.at(400)->columns[2]), Bytes{0x80}) << "owner 0 is the one byte 80";
    EXPECT_EQ(number(byNumber.at(60100)->columns[1]), 60200) << "a truncated table's DATAOBJ#";
    EXPECT_EQ(byNumber.at(objectOf("HR", "GONE"))->flag, 0x3C) << "a dropped table's row is deleted";
    const auto indexes = std::count_if(byNumber.begin(), byNumber.end(),
                                       [](const auto& entry) { return number(entry.second->columns[6]) == 1; });
    EXPECT_EQ(indexes, 3) << "EMP_PK, EMP_NAME_UK and GONE_PK bring their indexes";
}

TEST_P(ForgeDictionary, ColumnRowsHoldTypeLengthPrecisionAndScale) {
    const Bytes allTypes = *numberColumn(objectOf("HR", "ALL_TYPES"));
    std::map<int, const FileRowPiece*> columns;
    for (const KeyedMember& m : clusterMembers(rows_, kObjClusterObject)) {
        if (m.key != allTypes || m.row->columnCount != layout().colColumns) continue;
        columns[number(m.row->columns.at(0))] = m.row;
    }
    ASSERT_EQ(columns.size(), std::size(kAllTypes));
    for (std::size_t i = 0; i < std::size(kAllTypes); ++i) {
        SCOPED_TRACE(kAllTypes[i][1]);
        const auto& c = columns.at(static_cast<int>(i) + 1)->columns;
        const ColExpectation& e = kColExpectations[i];
        EXPECT_EQ(text(c[4]), kAllTypes[i][0]);
        EXPECT_EQ(number(c[5]), e.type);
        EXPECT_EQ(number(c[6]), e.length);
        EXPECT_EQ(number(c[8]), e.precision);
        EXPECT_EQ(number(c[9]), e.scale);
    }
}

TEST_P(ForgeDictionary, AWideTableGoesOnUnderARepeatedKeyInTheNextBlock) {
    const Bytes wide = *numberColumn(objectOf("HR", "WIDE"));
    std::set<int> numbers;
    std::set<std::int64_t> blocks;
    for (const KeyedMember& m : clusterMembers(rows_, kObjClusterObject)) {
        if (m.key != wide || m.row->columnCount != layout().colColumns) continue;
        numbers.insert(number(m.row->columns.at(0)));
        blocks.insert(m.row->block);
    }
    EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kWideTableColumns));
    EXPECT_EQ(*numbers.rbegin(), kWideTableColumns);
    EXPECT_GT(blocks.size(), 1u);
}

TEST_P(ForgeDictionary, ViewColumnsAreInTheColumnCluster) {
    const Bytes view = *numberColumn(objectOf("HR", "EMP_V"));
    std::vector<std::string> names;
    for (const KeyedMember& m : clusterMembers(rows_, kObjClusterObject))
        if (m.key == view) names.push_back(text(m.row->columns.at(4)));
    EXPECT_EQ(names, (std::vector<std::string>{"EMPNO", "ENAME"}));
}

TEST_P(ForgeDictionary, ConstraintRowsTieNamesDefinitionsAndColumns) {
    for (const FileRowPiece* con : rows_.of(kConObject)) {
        ASSERT_EQ(con->columnCount, 3);
        EXPECT_EQ(con->flag, text(con->columns[1]) == "GONE_PK" ? 0x3C : kLiveFlag);
        const int owner = number(con->columns[0]);
        EXPECT_EQ(bytes(con->columns[0]).size(), owner == 0 ? 1u : 2u);
    }
    struct Def {
        int type;
        Bytes table;
        int referenced;
        std::string condition;
        std::vector<int> columns;
    };
    std::map<int, Def> defs;
    const int gone = constraintNumber("GONE_PK");
    for (const KeyedMember& m : clusterMembers(rows_, kCobjClusterObject)) {
        const auto& c = m.row->columns;
        EXPECT_EQ(m.row->flag, number(c[0]) == gone ? 0x7C : kMemberFlag) << "only a dropped table's rows are deleted";
        if (m.row->columnCount == layout().cdefColumns) {
            defs[number(c[0])] = {number(c[2]), m.key, number(c[4]), c.back() ? text(c.back()) : "", {}};
        } else {
            ASSERT_EQ(m.row->columnCount, layout().ccolColumns);
            defs.at(number(c[0])).columns.push_back(number(c[1]));
            EXPECT_EQ(m.key, defs.at(number(c[0])).table) << "CCOL$ row under its table's key";
        }
    }
    const Bytes emp = *numberColumn(objectOf("HR", "EMP"));
    const int pk = constraintNumber("EMP_PK");
    EXPECT_EQ(defs.at(pk).type, 2);
    EXPECT_EQ(defs.at(pk).table, emp);
    EXPECT_EQ(defs.at(pk).columns, std::vector<int>{1});
    EXPECT_EQ(defs.at(constraintNumber("EMP_NAME_UK")).columns, (std::vector<int>{2, 1}));
    EXPECT_EQ(defs.at(constraintNumber("EMP_MGR_FK")).type, 4);
    EXPECT_EQ(defs.at(constraintNumber("EMP_MGR_FK")).referenced, pk) << "a key referencing its own table";
    EXPECT_EQ(defs.at(constraintNumber("ORDERS_REP_FK")).referenced, pk) << "a key referencing another schema";
    EXPECT_EQ(defs.at(constraintNumber("EMP_SAL_CK")).type, 1);
    EXPECT_EQ(defs.at(constraintNumber("EMP_SAL_CK")).condition, "SAL > 0 AND SAL < 100000");
    int notNull = 0;
    for (const auto& [con, def] : defs) {
        if (def.type != 7) continue;
        ++notNull;
        EXPECT_TRUE(def.condition == "\"EMPNO\" IS NOT NULL" || def.condition == "\"ENAME\" IS NOT NULL") << def.condition;
    }
    EXPECT_EQ(notNull, 2);
}

TEST_P(ForgeDictionary, SourceLinesInOrderWithTheLongLineInItsLongForm) {
    const int p1 = objectOf("HR", "P1");
    std::vector<std::string> lines;
    for (const FileRowPiece* row : rows_.of(layout().sourceObject)) {
        ASSERT_EQ(row->columnCount, kSourceColumns);
        if (number(row->columns[0]) != p1) continue;
        EXPECT_EQ(number(row->columns[1]), static_cast<int>(lines.size()) + 1);
        lines.push_back(text(row->columns[2]));
    }
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "PROCEDURE P1 IS\n");
    EXPECT_EQ(lines[2], "  -- " + std::string(280, 'x') + "\n");
    EXPECT_EQ(lines[4], "END;\n");
}

TEST_P(ForgeDictionary, ViewAndTriggerRowsInTheirReleasesColumns) {
    std::map<int, const FileRowPiece*> views;
    for (const FileRowPiece* row : rows_.of(layout().viewObject)) {
        ASSERT_EQ(row->columnCount, kViewColumns);
        views[number(row->columns[0])] = row;
    }
    const FileRowPiece* longView = views.at(objectOf("HR", "LONG_V"));
    EXPECT_EQ(number(longView->columns[2]), 1);
    EXPECT_GT(bytes(longView->columns[7]).size(), 250u);
    EXPECT_EQ(text(views.at(objectOf("HR", "EMP_V"))->columns[7]), "select EMPNO, ENAME from EMP");

    std::map<int, const FileRowPiece*> triggers;
    for (const FileRowPiece* row : rows_.of(layout().triggerObject)) {
        ASSERT_EQ(row->columnCount, layout().triggerColumns);
        triggers[number(row->columns[0])] = row;
    }
    const auto& rowTrigger = triggers.at(objectOf("HR", "EMP_BIU"))->columns;
    EXPECT_EQ(bytes(rowTrigger[1]), (Bytes{0xC1, 0x02})) << "before each row";
    EXPECT_EQ(bytes(rowTrigger[2]), (Bytes{0xC1, 0x02})) << "update";
    EXPECT_EQ(bytes(rowTrigger[3]), (Bytes{0xC1, 0x02})) << "insert";
    EXPECT_EQ(bytes(rowTrigger[4]), Bytes{0x80}) << "no delete";
    EXPECT_EQ(number(rowTrigger[5]), objectOf("HR", "EMP"));
    EXPECT_EQ(text(rowTrigger[8]), "EMP_BIU before insert or update on HR.EMP for each row\n");
    EXPECT_EQ(text(rowTrigger[9]), "new.sal > 0");
    EXPECT_EQ(text(rowTrigger.back()), "begin null; end;");

    const auto& database = triggers.at(objectOf("HR", "AFTER_LOGON"))->columns;
    EXPECT_EQ(bytes(database[1]), (Bytes{0xC1, 0x03})) << "after statement";
    EXPECT_EQ(bytes(database[5]), Bytes{0x80}) << "no base object";
    EXPECT_FALSE(database[9].has_value());
    EXPECT_EQ(text(database.back()), "begin\n  null;\nend;");
}

INSTANTIATE_TEST_SUITE_P(Releases, ForgeDictionary, ::testing::Values(9, 10, 11));
