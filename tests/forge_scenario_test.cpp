// Scenarios: JSON and the C++ helpers describe the same file, faults name
// their place, numbers are handed out without clashes, the demo holds what it
// promises, and the command writes what it is asked for.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "tools/forge/dictionary_objects.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/forge_plan.h"
#include "tests/temp_folder.h"

namespace fs = std::filesystem;
using namespace restorix;
using namespace restorix::forge;

namespace {

const char* const kScenarioJson = R"json({
  "created": "2010-10-10 10:10:10",
  "firstObjectNumber": 60000,
  "schemas": [
    { "name": "SYS", "user": 0,
      "tables": [ { "name": "DUAL", "obj": 258, "columns": [ { "name": "DUMMY", "type": "VARCHAR2(1)" } ], "rows": [ ["X"] ] } ] },
    { "name": "DBA", "user": 4, "role": true },
    { "name": "HR", "user": 30,
      "tables": [
        { "name": "EMP",
          "columns": [ { "name": "EMPNO", "type": "NUMBER(4)", "notNull": true },
                       { "name": "ENAME", "type": "VARCHAR2(10)" },
                       { "name": "MGR", "type": "NUMBER(4)" },
                       { "name": "HIRED", "type": "DATE", "default": "SYSDATE" } ],
          "rows": [ ["7839", "KING", null, "1981-11-17"],
                    { "values": ["7566", "JONES", "7839"], "storage": "migrated" },
                    { "values": ["7900", "JAMES"], "storage": "deleted" } ] },
        { "name": "LOG", "obj": 61000, "dataObj": 61001,
          "columns": [ { "name": "MSG", "type": "VARCHAR2(20)" } ],
          "rows": [ ["new"] ], "staleRows": [ ["old"] ] },
        { "name": "AUDIT",
          "columns": [ { "name": "ID", "type": "NUMBER(4)" },
                       { "name": "OLD", "type": "VARCHAR2(5)", "unused": true },
                       { "name": "AMOUNT", "type": "NUMBER(8,2)", "damaged": { "type": 250, "length": -1, "precision": 40 } } ],
          "rows": [ { "values": ["1", "x", "2.5"], "extraValues": ["stray", null] } ] }
      ],
      "constraints": [
        { "name": "EMP_PK", "table": "EMP", "type": "primary", "columns": ["EMPNO"] },
        { "name": "EMP_MGR_FK", "table": "EMP", "type": "foreign", "columns": ["MGR"], "references": "EMP_PK" },
        { "name": "EMP_NAME_CK", "table": "EMP", "type": "check", "condition": "ENAME = UPPER(ENAME)", "number": 9500 }
      ],
      "views": [ { "name": "EMP_V", "text": "select EMPNO, ENAME from EMP",
                   "columns": ["EMPNO", { "name": "ENAME", "type": "VARCHAR2(10)" }] } ],
      "triggers": [
        { "name": "EMP_BI", "timing": "before each row", "events": ["insert"], "table": "EMP",
          "when": "new.empno > 0", "body": "begin null; end;" },
        { "name": "ON_LOGON", "timing": 2, "body": "begin null; end;" } ],
      "procedures": [ { "name": "P", "source": "PROCEDURE P IS\nBEGIN\n  NULL;\nEND;\n" } ],
      "functions": [ { "name": "F", "source": ["FUNCTION F RETURN NUMBER IS\n", "BEGIN\n", "  RETURN 1;\n", "END;\n"] } ]
    },
    { "name": "SALES", "user": 31,
      "tables": [ { "name": "ORDERS", "columns": [ { "name": "REP", "type": "NUMBER(4)" } ] } ],
      "constraints": [ { "name": "ORDERS_REP_FK", "table": "ORDERS", "type": "foreign", "columns": ["REP"],
                         "references": "HR.EMP_PK" } ] }
  ]
})json";

Scenario builtInCpp() {
    Scenario s;
    s.created = "2010-10-10 10:10:10";
    s.firstObjectNumber = 60000;
    s.user("SYS", 0).table("DUAL", 258).column("DUMMY", "VARCHAR2(1)").row({"X"});
    s.role("DBA", 4);
    SchemaDef& hr = s.user("HR", 30);
    TableDef& emp = hr.table("EMP");
    emp.column("EMPNO", "NUMBER(4)", true).column("ENAME", "VARCHAR2(10)").column("MGR", "NUMBER(4)").column("HIRED", "DATE");
    emp.columns.back().defaultText = "SYSDATE";
    emp.row({"7839", "KING", std::nullopt, "1981-11-17"})
        .row({"7566", "JONES", "7839"}, RowStorage::Migrated)
        .row({"7900", "JAMES"}, RowStorage::Deleted);
    TableDef& log = hr.table("LOG", 61000);
    log.dataObjectNumber = 61001;
    log.column("MSG", "VARCHAR2(20)").row({"new"});
    log.staleRows.push_back({{"old"}, RowStorage::Normal});
    TableDef& audit = hr.table("AUDIT");
    audit.column("ID", "NUMBER(4)").column("OLD", "VARCHAR2(5)").column("AMOUNT", "NUMBER(8,2)").row({"1", "x", "2.5"});
    audit.columns[1].unused = true;
    audit.columns[2].damaged = CatalogDamage{250, -1, 40};
    audit.rows.back().extraValues = {"stray", std::nullopt};
    hr.primaryKey("EMP_PK", "EMP", {"EMPNO"});
    hr.foreignKey("EMP_MGR_FK", "EMP", {"MGR"}, "", "EMP_PK");
    hr.check("EMP_NAME_CK", "EMP", "ENAME = UPPER(ENAME)").constraints.back().number = 9500;
    ViewDef& view = hr.view("EMP_V", "select EMPNO, ENAME from EMP", {"EMPNO", "ENAME"});
    view.columns[1].type = parseColumnType("VARCHAR2(10)");
    TriggerDef& bi = hr.trigger("EMP_BI", TriggerTiming::BeforeEachRow, "EMP", "begin null; end;");
    bi.onInsert = true;
    bi.when = "new.empno > 0";
    hr.trigger("ON_LOGON", TriggerTiming::AfterStatement, "", "begin null; end;");
    hr.procedure("P", "PROCEDURE P IS\nBEGIN\n  NULL;\nEND;\n");
    hr.function("F", "FUNCTION F RETURN NUMBER IS\nBEGIN\n  RETURN 1;\nEND;\n");
    SchemaDef& sales = s.user("SALES", 31);
    sales.table("ORDERS").column("REP", "NUMBER(4)");
    sales.foreignKey("ORDERS_REP_FK", "ORDERS", {"REP"}, "HR", "EMP_PK");
    return s;
}

class ForgeScenarioFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_.path();
    }

    std::string path(const char* name) const { return (folder_ / name).string(); }
    static std::string contentOf(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    restorix::test::TempFolder scratch_{"restorix-scenario-"};
    fs::path folder_;
};

struct JsonFaultCase {
    std::string json;
    std::string where;
};
class ForgeJsonFault : public ::testing::TestWithParam<JsonFaultCase> {};

struct PlanFaultCase {
    std::string name;
    std::function<void(Scenario&)> spoil;
    std::string message;
};
class ForgePlanFault : public ::testing::TestWithParam<PlanFaultCase> {};

std::string oneTable(const std::string& table) {
    return R"({"schemas":[{"name":"HR","user":30,"tables":[)" + table + "]}]}";
}

}  // namespace

TEST_F(ForgeScenarioFiles, JsonAndTheCppHelpersWriteTheSameFile) {
    writeDatafile(parseScenario(kScenarioJson), path("json.dbf"), {.release = 11});
    writeDatafile(builtInCpp(), path("cpp.dbf"), {.release = 11});
    const std::string json = contentOf(path("json.dbf"));
    EXPECT_GT(json.size(), 20u * 8192);
    EXPECT_TRUE(json == contentOf(path("cpp.dbf")));
}

TEST_P(ForgeJsonFault, NamesWhereTheScenarioIsWrong) {
    try {
        parseScenario(GetParam().json);
        FAIL() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().where), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForgeJsonFault,
    ::testing::Values(
        JsonFaultCase{"{", "no valid JSON"},
        JsonFaultCase{R"j({"schemas": {}})j", "$.schemas: expected an array"},
        JsonFaultCase{R"j({"schemas":[{"name":"HR"}]})j", "$.schemas[0]: missing \"user\""},
        JsonFaultCase{oneTable(R"j({"name":"T","columns":[{"name":"A","type":"NUMBER(1,2,3)"}]})j"),
                      "$.schemas[0].tables[0].columns[0].type"},
        JsonFaultCase{oneTable(R"j({"name":"T","columns":[{"name":"A"}]})j"), "$.schemas[0].tables[0].columns[0]"},
        JsonFaultCase{oneTable(R"j({"name":"T","columns":[{"name":"A","type":"DATE"}],"rows":[{"values":[null],"storage":"moved"}]})j"),
                      "$.schemas[0].tables[0].rows[0].storage"},
        JsonFaultCase{oneTable(R"j({"name":"T","columns":[{"name":"A","type":"DATE"}],"rows":[[7]]})j"),
                      "$.schemas[0].tables[0].rows[0][0]: expected a string"},
        JsonFaultCase{R"j({"schemas":[{"name":"HR","user":30,"triggers":[{"name":"G","timing":"sometimes","body":""}]}]})j",
                      "$.schemas[0].triggers[0].timing"},
        JsonFaultCase{R"j({"schemas":[{"name":"HR","user":30,"constraints":[{"name":"C","table":"T","type":"primary key"}]}]})j",
                      "$.schemas[0].constraints[0].type"},
        JsonFaultCase{R"j({"schemas":[{"name":"HR","user":30,"role":"yes"}]})j", "$.schemas[0].role"}));

TEST_P(ForgePlanFault, IsRefusedWithItsReason) {
    Scenario s = builtInCpp();
    GetParam().spoil(s);
    try {
        planScenario(s);
        FAIL() << "accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ForgePlanFault,
    ::testing::Values(
        PlanFaultCase{"UserNumberTwice", [](Scenario& s) { s.user("OTHER", 30); }, "user number 30 used twice"},
        PlanFaultCase{"UserNameTwice", [](Scenario& s) { s.user("HR", 40); }, "user HR defined twice"},
        PlanFaultCase{"RoleWithTables", [](Scenario& s) { s.findSchema("DBA")->table("T").column("X", "NUMBER"); },
                      "role DBA cannot own objects"},
        PlanFaultCase{"DictionaryNumber", [](Scenario& s) { s.findSchema("HR")->table("T", 18).column("X", "NUMBER"); },
                      "dictionary data object number"},
        PlanFaultCase{"ObjectNumberTwice", [](Scenario& s) { s.findSchema("SALES")->table("T", 61000).column("X", "NUMBER"); },
                      "number 61000 used twice"},
        PlanFaultCase{"UnknownColumn", [](Scenario& s) { s.findSchema("HR")->unique("U", "EMP", {"SALARY"}); },
                      "has no column SALARY"},
        PlanFaultCase{"KeyOnAnUnusedColumn", [](Scenario& s) { s.findSchema("HR")->unique("U", "AUDIT", {"OLD"}); },
                      "has no column OLD"},
        PlanFaultCase{"KeyOnACheck",
                      [](Scenario& s) { s.findSchema("SALES")->foreignKey("FK2", "ORDERS", {"REP"}, "HR", "EMP_NAME_CK"); },
                      "must reference a primary or unique key"},
        PlanFaultCase{"TriggerOnNothing",
                      [](Scenario& s) { s.findSchema("HR")->trigger("G", TriggerTiming::AfterEachRow, "NOPE", ""); },
                      "on unknown table HR.NOPE"},
        PlanFaultCase{"StaleRowsWithoutTruncate",
                      [](Scenario& s) { s.findSchema("HR")->tables[0].staleRows.push_back({{"1"}, RowStorage::Normal}); },
                      "never truncated"}),
    [](const ::testing::TestParamInfo<PlanFaultCase>& info) { return info.param.name; });

TEST(ForgePlan, AutomaticNumbersSkipTakenAndDictionaryNumbers) {
    Scenario s;
    s.firstObjectNumber = 60;
    SchemaDef& hr = s.user("HR", 30);
    hr.table("FIXED", 61).column("X", "NUMBER");
    for (int t = 0; t < 40; ++t) hr.table("T" + std::to_string(t)).column("X", "NUMBER");
    const ForgePlan plan = planScenario(s);
    std::set<std::int32_t> numbers;
    for (const PlannedObject& o : plan.objects) {
        EXPECT_FALSE(isReservedDataObject(o.objectNumber)) << o.name << " " << o.objectNumber;
        EXPECT_TRUE(numbers.insert(o.objectNumber).second) << o.name << " " << o.objectNumber;
    }
    EXPECT_EQ(plan.findTable("HR", "T0")->objectNumber, 60);
    EXPECT_EQ(plan.findTable("HR", "T1")->objectNumber, 64) << "61 is taken, 62 and 63 hold VIEW$";
}

TEST(ForgeDemo, HoldsWhatTheDemoPromises) {
    const Scenario demo = loadScenario(std::string(RESTORIX_SOURCE_DIR) + "/share/restorix/demo.json");
    const ForgePlan plan = planScenario(demo);
    for (const auto& [name, number] : {std::pair<const char*, int>{"PUBLIC", 1}, {"CONNECT", 2}, {"RESOURCE", 3}, {"DBA", 4}}) {
        ASSERT_NE(demo.findSchema(name), nullptr) << name;
        EXPECT_TRUE(demo.findSchema(name)->role) << name;
        EXPECT_EQ(demo.findSchema(name)->userNumber, number) << name;
    }
    EXPECT_EQ(demo.findSchema("SYS")->userNumber, 0);
    EXPECT_EQ(demo.findSchema("SYSTEM")->userNumber, 5);

    bool selfReference = false, crossSchema = false;
    for (const PlannedConstraint& c : plan.constraints) {
        if (c.kind != ConstraintKind::ForeignKey) continue;
        selfReference |= c.referencedObject == c.tableObject;
        for (const PlannedTable& t : plan.tables)
            if (t.objectNumber == c.referencedObject) crossSchema |= t.schema->userNumber != c.owner;
    }
    EXPECT_TRUE(selfReference);
    EXPECT_TRUE(crossSchema);
    EXPECT_TRUE(std::any_of(plan.triggers.begin(), plan.triggers.end(), [](const PlannedTrigger& t) { return t.baseObject == 0; }));

    std::set<std::string> values;
    for (const PlannedTable& t : plan.tables)
        for (const RowDef& row : t.def->rows)
            for (const Value& v : row.values)
                if (v) values.insert(*v);
    EXPECT_TRUE(values.count("O'NEIL"));
    EXPECT_TRUE(values.count("R&D"));
}

TEST_F(ForgeScenarioFiles, TheCommandWritesWhatItIsAskedFor) {
    const std::string forge = std::string(RESTORIX_BINARY_DIR) + "/restorix-forge";
    const std::string out = path("cli.dbf");
    auto run = [&](const std::string& arguments) {
        const int status = std::system((forge + " " + arguments + " >/dev/null 2>&1").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("--release 9 --size 1M -o " + out), 0);
    EXPECT_EQ(fs::file_size(out), 1u << 20);
    EXPECT_EQ(run("--release 11 --scenario " + std::string(RESTORIX_SOURCE_DIR) + "/share/restorix/demo.json --size 640KiB -o " + out), 0);
    EXPECT_EQ(fs::file_size(out), 640u << 10);
    EXPECT_EQ(run("--release 12 -o " + out), 2);
    EXPECT_EQ(run("--release 10"), 2);
    EXPECT_EQ(run("--release 10 --size 10X -o " + out), 2);
    EXPECT_EQ(run("--release 10 --scenario " + path("missing.json") + " -o " + out), 1);
}
