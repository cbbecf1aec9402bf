// The dictionary passes over whole forged datafiles of each release.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "datafile/block_scan.h"
#include "dictionary/dictionary_decoder.h"
#include "tools/forge/forge.h"
#include "tools/forge/scenario.h"
#include "tests/temp_folder.h"

using namespace restorix;

namespace {

const std::string kLongCondition = "STATUS IN ('" + std::string(260, 'Q') + "')";
const std::string kLongSourceLine = "  v := '" + std::string(300, 'z') + "';\n";

constexpr std::int32_t kDept = 52000;
constexpr std::int32_t kEmp = 52001;
constexpr std::int32_t kEmpSegment = 52100;  // EMP was truncated: a new segment
constexpr std::int32_t kOld = 52002;
constexpr std::int32_t kEmpView = 52003;
constexpr std::int32_t kProcedureNumber = 52004;
constexpr std::int32_t kFunctionNumber = 52005;
constexpr std::int32_t kTriggerNumber = 52006;

forge::Scenario hrScenario() {
    forge::Scenario s;
    forge::SchemaDef& sys = s.user("SYS", 0);
    sys.table("DUAL", 258).column("DUMMY", "VARCHAR2(1)").row({"X"});
    s.role("DBA", 4);
    forge::SchemaDef& hr = s.user("HR", 30);
    hr.table("DEPT", kDept).column("DEPTNO", "NUMBER(2)", true).column("DNAME", "VARCHAR2(14)").row({"10", "X"});
    forge::TableDef& emp = hr.table("EMP", kEmp);
    emp.dataObjectNumber = kEmpSegment;
    emp.column("EMPNO", "NUMBER(4)", true)
        .column("NAME", "VARCHAR2(4000)")
        .column("SAL", "NUMBER(10,2)")
        .column("RATE", "FLOAT(126)")
        .column("HIRED", "DATE")
        .column("STAMP", "TIMESTAMP(6)")
        .column("AMOUNT", "NUMBER")
        .column("DEPTNO", "NUMBER(2)")
        .column("STATUS", "VARCHAR2(300)")
        .row({"1", "A", "1.5", "2", "2001-01-01", "2001-01-01 00:00:00", "7", "10", "Q"});
    forge::TableDef& old = hr.table("OLD", kOld);
    old.dropped = true;
    old.column("X", "CHAR(1)");
    hr.primaryKey("PK_DEPT", "DEPT", {"DEPTNO"});
    hr.primaryKey("PK_EMP", "EMP", {"EMPNO"});
    hr.foreignKey("FK_DEPT", "EMP", {"DEPTNO"}, "", "PK_DEPT");
    hr.check("CK_STATUS", "EMP", kLongCondition);
    hr.view("EMP_V", "select EMPNO from EMP", {"EMPNO"}).objectNumber = kEmpView;
    hr.procedure("RAISE_SAL", "PROCEDURE RAISE_SAL IS\n  v VARCHAR2(400);\nBEGIN\n" + kLongSourceLine + "END;\n")
        .objectNumber = kProcedureNumber;
    hr.function("ONE", "FUNCTION ONE RETURN NUMBER IS\nBEGIN\n  RETURN 1;\nEND;\n").objectNumber = kFunctionNumber;
    hr.trigger("EMP_T", forge::TriggerTiming::BeforeEachRow, "EMP", "begin null; end;").objectNumber = kTriggerNumber;
    return s;
}

struct NoMessages : MessageSink {
    void showMessage(std::string_view, std::string_view) override {}
};

// A forged datafile opened, scanned and decoded as the analysis does it.
class ForgedDictionary {
public:
    ForgedDictionary(int release, RecoveryOption option, std::string characterSet = "WE8MSWIN1252") {
        path_ = (scratch_ / "forged.dbf").string();
        forge::writeDatafile(hrScenario(), path_, {.release = release, .characterSet = std::move(characterSet)});
        recovery.options = RecoveryOptions(option);
        if (recovery.database.datafiles.open({path_})) throw std::runtime_error("cannot open " + path_);
        NoMessages messages;
        scanned = scanDatafiles(recovery.database.datafiles, recovery.database.blockIndex, recovery.database.release,
                                progress, recovery.analysisControl, messages,
                                " Restorix for Oracle Database") == ScanResult::Completed;
        firstPass = decodeDictionaryPass1(recovery, progress);
        secondPass = decodeDictionaryPass2(recovery, progress);
    }
    ~ForgedDictionary() { recovery.database.datafiles.close(); }

    Recovery recovery;
    ProgressSink progress;
    bool scanned = false;
    bool firstPass = false;
    bool secondPass = false;

private:
    test::TempFolder scratch_{"restorix-forged-"};
    std::string path_;
};

std::vector<std::string> sortedSchemaNames(const Catalog& catalog) {
    std::vector<std::string> names;
    for (const SchemaEntry& schema : catalog.schemaList) names.push_back(schema.name);
    std::sort(names.begin(), names.end());
    return names;
}

struct ExpectedColumn {
    const char* name;
    int oracleType;
    std::optional<int> precision;
    int length;
    std::optional<int> scale;
};

struct CharacterSetCase {
    const char* stored;
    bool utf8;
};

class ForgedCharacterSet : public ::testing::TestWithParam<CharacterSetCase> {};

TEST_P(ForgedCharacterSet, IsFoundBesideTheReleaseText) {
    ForgedDictionary file(11, RecoveryOption::All, GetParam().stored);
    ASSERT_TRUE(file.scanned);
    EXPECT_EQ(file.recovery.database.release.releaseText, "11.1.0.6.0");
    EXPECT_EQ(file.recovery.database.release.characterSet, GetParam().stored);
    EXPECT_EQ(file.recovery.database.release.ncharCharacterSet, "AL16UTF16");
    EXPECT_EQ(file.recovery.database.release.storesUtf8(), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Table, ForgedCharacterSet,
                         ::testing::Values(CharacterSetCase{"AL32UTF8", true}, CharacterSetCase{"UTF8", true},
                                           CharacterSetCase{"WE8MSWIN1252", false},
                                           CharacterSetCase{"US7ASCII", false}));

class ForgedRelease : public ::testing::TestWithParam<int> {};

TEST_P(ForgedRelease, UsersObjectsAndColumns) {
    ForgedDictionary file(GetParam(), RecoveryOption::All);
    ASSERT_TRUE(file.scanned);
    EXPECT_TRUE(file.firstPass);
    EXPECT_TRUE(file.secondPass);
    const Catalog& catalog = file.recovery.catalog;

    EXPECT_EQ(sortedSchemaNames(catalog), (std::vector<std::string>{"HR", "SYS"}));
    EXPECT_EQ(catalog.findSchemaByName("hr")->userNumber, 30);

    struct ExpectedObject {
        std::int32_t number;
        const char* name;
        int type;
        int owner;
        std::int32_t dataObject;
    };
    for (const ExpectedObject& e : {ExpectedObject{258, "DUAL", kTable, 0, 258},
                                    ExpectedObject{kEmp, "EMP", kTable, 30, kEmpSegment},
                                    ExpectedObject{kOld, "OLD", kTable, 30, kOld},
                                    ExpectedObject{kEmpView, "EMP_V", kView, 30, kEmpView},
                                    ExpectedObject{kProcedureNumber, "RAISE_SAL", kProcedure, 30, kProcedureNumber},
                                    ExpectedObject{kFunctionNumber, "ONE", kFunction, 30, kFunctionNumber},
                                    ExpectedObject{kTriggerNumber, "EMP_T", kTrigger, 30, kTriggerNumber}}) {
        const ObjectEntry* object = catalog.findObject(e.number);
        ASSERT_NE(object, nullptr) << e.name;
        EXPECT_EQ(object->name, e.name);
        EXPECT_EQ(object->type(), e.type) << e.name;
        EXPECT_EQ(object->owner(), e.owner) << e.name;
        EXPECT_EQ(object->dataObjectNumber, e.dataObject) << e.name;
    }
    // Only the five kinds of object are recorded (the primary keys' indexes are not).
    for (const ObjectEntry& object : catalog.objectList)
        EXPECT_TRUE(object.type() == kTable || object.type() == kView || object.type() == kProcedure ||
                    object.type() == kFunction || object.type() == kTrigger)
            << object.name;

    auto columns = catalog.columnsOf(catalog.findObject(kEmp)->objNumber);
    std::sort(columns.begin(), columns.end(),
              [](const ColumnEntry* a, const ColumnEntry* b) { return a->columnNumber < b->columnNumber; });
    const std::vector<ExpectedColumn> expected{
        {"EMPNO", oracle_type::kNumber, 4, 5, 0},
        {"NAME", oracle_type::kVarchar2, std::nullopt, 4001, std::nullopt},
        {"SAL", oracle_type::kNumber, 10, 11, 2},
        {"RATE", oracle_type::kNumber, 126, 127, std::nullopt},
        {"HIRED", oracle_type::kDate, std::nullopt, 8, std::nullopt},
        {"STAMP", oracle_type::kTimestamp, std::nullopt, 7, std::nullopt},
        {"AMOUNT", oracle_type::kNumber, std::nullopt, 1, std::nullopt},
        {"DEPTNO", oracle_type::kNumber, 2, 3, 0},
        {"STATUS", oracle_type::kVarchar2, std::nullopt, 301, std::nullopt}};
    ASSERT_EQ(columns.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(columns[i]->columnNumber, static_cast<int>(i + 1)) << expected[i].name;
        EXPECT_EQ(columns[i]->name, expected[i].name);
        EXPECT_EQ(columns[i]->oracleType, expected[i].oracleType) << expected[i].name;
        EXPECT_EQ(columns[i]->precision, expected[i].precision) << expected[i].name;
        EXPECT_EQ(columns[i]->length, expected[i].length) << expected[i].name;
        EXPECT_EQ(columns[i]->scale, expected[i].scale) << expected[i].name;
    }
    EXPECT_EQ(catalog.columnsOf(catalog.findObject(kOld)->objNumber).size(), 1u);
    EXPECT_EQ(catalog.columnsOf(catalog.findObject(258)->objNumber).size(), 1u);
}

const ConstraintNameEntry* constraintNamed(const Catalog& catalog, std::string_view name) {
    for (const ConstraintNameEntry& entry : catalog.constraintNames)
        if (entry.name == name) return &entry;
    return nullptr;
}

std::vector<int> constraintColumnNumbers(const Catalog& catalog, const DictionaryNumber& conNumber) {
    std::vector<int> numbers;
    for (const ConstraintColumnEntry* column : catalog.constraintColumnsOf(conNumber))
        numbers.push_back(column->columnNumber);
    return numbers;
}

TEST_P(ForgedRelease, Constraints) {
    ForgedDictionary file(GetParam(), RecoveryOption::All);
    const Catalog& catalog = file.recovery.catalog;
    const DictionaryNumber emp = catalog.findObject(kEmp)->objNumber;

    const ConstraintNameEntry* pkDept = constraintNamed(catalog, "PK_DEPT");
    const ConstraintNameEntry* pkEmp = constraintNamed(catalog, "PK_EMP");
    const ConstraintNameEntry* fk = constraintNamed(catalog, "FK_DEPT");
    const ConstraintNameEntry* check = constraintNamed(catalog, "CK_STATUS");
    ASSERT_TRUE(pkDept && pkEmp && fk && check);
    EXPECT_EQ(fk->ownerNumber, 30);

    const ConstraintDefEntry* pkDef = catalog.findConstraintDef(pkEmp->conNumber);
    ASSERT_NE(pkDef, nullptr);
    EXPECT_EQ(pkDef->conType, 2);
    EXPECT_EQ(pkDef->objNumber, emp);
    EXPECT_EQ(constraintColumnNumbers(catalog, pkEmp->conNumber), std::vector<int>{1});

    const ConstraintDefEntry* fkDef = catalog.findConstraintDef(fk->conNumber);
    ASSERT_NE(fkDef, nullptr);
    EXPECT_EQ(fkDef->conType, 4);
    EXPECT_EQ(fkDef->refConNumber, pkDept->conNumber);
    EXPECT_EQ(constraintColumnNumbers(catalog, fk->conNumber), std::vector<int>{8});

    const ConstraintDefEntry* checkDef = catalog.findConstraintDef(check->conNumber);
    ASSERT_NE(checkDef, nullptr);
    EXPECT_EQ(checkDef->conType, 1);
    EXPECT_EQ(checkDef->condition, kLongCondition);
    // With the NOT NULL constraint of EMPNO.
    std::vector<int> types;
    for (const ConstraintDefEntry* def : catalog.constraintDefsOf(emp)) types.push_back(def->conType);
    std::sort(types.begin(), types.end());
    EXPECT_EQ(types, (std::vector<int>{1, 2, 4, 7}));
}

TEST_P(ForgedRelease, StoredSource) {
    ForgedDictionary file(GetParam(), RecoveryOption::All);
    const DictionaryNumber objects[] = {kProcedureNumber, kFunctionNumber};
    const std::optional<StoredSource> source =
        readStoredSource(file.recovery.database, objects, file.recovery.analysisControl);
    ASSERT_TRUE(source);
    auto lines = source->of(kProcedureNumber).lines();
    std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.lineNumber < b.lineNumber; });
    std::vector<std::string> texts;
    for (const SourceLineEntry& line : lines) texts.push_back(line.text);
    std::string longLine = kLongSourceLine;
    longLine.back() = ' ';
    EXPECT_EQ(texts, (std::vector<std::string>{"PROCEDURE RAISE_SAL IS ", "  v VARCHAR2(400); ", "BEGIN ", longLine,
                                               "END; "}));
    EXPECT_EQ(lines.front().lineNumber, 1);
    EXPECT_EQ(lines.back().lineNumber, 5);

    EXPECT_EQ(source->of(kFunctionNumber).lines().size(), 4u);
}

TEST_P(ForgedRelease, OptionsSplitSysFromTheRest) {
    ForgedDictionary sysOnly(GetParam(), RecoveryOption::SysOnly);
    EXPECT_EQ(sortedSchemaNames(sysOnly.recovery.catalog), std::vector<std::string>{"SYS"});
    ASSERT_FALSE(sysOnly.recovery.catalog.objectList.empty());
    for (const ObjectEntry& object : sysOnly.recovery.catalog.objectList) EXPECT_EQ(object.owner(), 0) << object.name;
    for (const ColumnEntry& column : sysOnly.recovery.catalog.columnList)
        EXPECT_EQ(sysOnly.recovery.catalog.findObject(column.objNumber)->owner(), 0) << column.name;
    EXPECT_EQ(constraintNamed(sysOnly.recovery.catalog, "PK_EMP"), nullptr);

    ForgedDictionary allButSys(GetParam(), RecoveryOption::AllButSys);
    EXPECT_EQ(sortedSchemaNames(allButSys.recovery.catalog), std::vector<std::string>{"HR"});
    EXPECT_EQ(allButSys.recovery.catalog.findObject(258), nullptr);
    EXPECT_NE(allButSys.recovery.catalog.findObject(kEmp), nullptr);
    EXPECT_NE(constraintNamed(allButSys.recovery.catalog, "PK_EMP"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Releases, ForgedRelease, ::testing::Values(9, 10, 11),
                         [](const auto& info) { return "Release" + std::to_string(info.param); });

}  // namespace
