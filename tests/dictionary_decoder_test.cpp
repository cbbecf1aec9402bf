#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "dictionary/dictionary_decoder.h"
#include "tabledata/column_types.h"
#include "tools/forge/block_builder.h"
#include "tools/forge/oracle_values.h"
#include "tests/temp_folder.h"

using namespace restorix;
using forge::Bytes;
using forge::Column;

namespace {

// SOURCE$ data object numbers by release, as the format stores them.
constexpr std::int32_t kSourceSegment9 = 71;
constexpr std::int32_t kSourceSegment10 = 72;
constexpr std::int32_t kSourceSegment11 = 215;

// --- Dictionary rows as the format stores them --------------------------------

Column num(long long n) { return forge::encodeNumber(std::to_string(n)); }
Column txt(std::string_view s) { return Bytes(s.begin(), s.end()); }

std::vector<Column> padded(std::vector<Column> columns, std::size_t count) {
    columns.resize(count);
    return columns;
}

Bytes userKey(long long user) { return forge::makeClusterKeyRow({num(user)}); }

Bytes userRow(std::uint8_t keyIndex, std::string_view name, int type = 1, int columns = 19,
              std::uint8_t flag = 0x6C) {
    return forge::makeClusterMemberRow(keyIndex, padded({txt(name), num(type), txt("4A3B2C1D")}, columns), flag);
}

// OBJ$: OBJ#, DATAOBJ#, OWNER#, NAME, NAMESPACE, SUBNAME, TYPE#, ...
Bytes objRow(long long obj, long long owner, std::string_view name, int type,
             std::optional<long long> dataObj = std::nullopt, int columns = 18, std::uint8_t flag = 0x2C) {
    return forge::makeRow(padded({num(obj), dataObj ? num(*dataObj) : Column{}, num(owner), txt(name), num(1),
                                  Column{}, num(type), forge::encodeDate(2008, 3, 1)},
                                 columns),
                          flag);
}

// CON$: OWNER#, NAME, CON#.
Bytes conRow(long long owner, std::string_view name, long long con) {
    return forge::makeRow({num(owner), txt(name), num(con), Column{}});
}

Bytes objectKey(long long obj) { return forge::makeClusterKeyRow({num(obj)}); }

// What COL$ holds for a column's type.
struct StoredColumnType {
    int type;
    long long length;
    std::optional<long long> precision;
    std::optional<long long> scale;
    std::optional<long long> charsetForm = {};
};

// COL$: COL#, SEGCOL#, SEGCOLLENGTH, OFFSET, NAME, TYPE#, LENGTH, FIXEDSTORAGE, PRECISION#, SCALE, NULL$,
// DEFLENGTH, INTCOL#, PROPERTY, CHARSETID, CHARSETFORM, ...
Bytes colRow(std::uint8_t keyIndex, long long column, std::string_view name, const StoredColumnType& type,
             int columns = 20, std::uint8_t flag = 0x6C) {
    return forge::makeClusterMemberRow(
        keyIndex,
        padded({num(column), num(column), num(type.length), num(0), txt(name), num(type.type), num(type.length),
                num(0), type.precision ? num(*type.precision) : Column{}, type.scale ? num(*type.scale) : Column{},
                num(0), num(column), num(column), num(0), num(0), type.charsetForm ? num(*type.charsetForm) : Column{}},
               columns),
        flag);
}

const StoredColumnType kVarchar30{1, 30, std::nullopt, std::nullopt};

// CCOL$: CON#, COL#, POS#, INTCOL#, ...
Bytes ccolRow(std::uint8_t keyIndex, long long con, long long column, int columns = 5) {
    return forge::makeClusterMemberRow(keyIndex, padded({num(con), num(column), num(1), num(column)}, columns));
}

// CDEF$: CON#, COLS, TYPE#, ROBJ#, RCON#, ...; the last stored column holds the condition.
Bytes cdefRow(std::uint8_t keyIndex, long long con, int type, std::optional<long long> refCon,
              std::string_view condition, int columns = 20) {
    auto stored = padded({num(con), num(1), num(type), Column{}, refCon ? num(*refCon) : Column{}}, columns);
    stored.back() = txt(condition);
    return forge::makeClusterMemberRow(keyIndex, stored);
}

Bytes sourceRow(long long obj, long long line, std::string_view text, std::uint8_t flag = 0x2C) {
    return forge::makeRow({num(obj), num(line), txt(text)}, flag);
}

// --- A datafile of built blocks ------------------------------------------------

struct RecordingProgress : ProgressSink {
    std::vector<std::string> phases;
    std::vector<int> bars;
    std::vector<int> current;
    std::function<void()> onProgress;

    void setPhase(std::string_view text) override { phases.emplace_back(text); }
    void setProgress(int percent) override {
        bars.push_back(percent);
        if (onProgress) onProgress();
    }
    void setCurrentProgress(int percent) override { current.push_back(percent); }
};

// Blocks written to a temporary file, opened and indexed as the block scan
// would; block 0 is the file header and no data block.
class DictionaryFile {
public:
    explicit DictionaryFile(RecoveryOption option = RecoveryOption::All, int release = 10) : blocks_(1) {
        recovery.options = RecoveryOptions(option);
        recovery.database.release.isVersion9 = release == 9;
        recovery.database.release.isVersion10 = release == 10;
        recovery.database.release.isVersion11 = release == 11;
        path_ = (scratch_ / "dictionary.dbf").string();
    }
    ~DictionaryFile() { recovery.database.datafiles.close(); }

    int addBlock(std::int32_t segment, const std::vector<Bytes>& rows, int itlCount = 2) {
        forge::DataBlockBuilder builder(segment, static_cast<std::uint32_t>(blocks_.size()), itlCount);
        for (const Bytes& row : rows) EXPECT_TRUE(builder.addRow(row).has_value()) << "row does not fit";
        return addRawBlock(builder.build());
    }
    int addRawBlock(const Block& block) {
        blocks_.push_back(block);
        return static_cast<int>(blocks_.size()) - 1;
    }
    Block& block(int n) { return blocks_[static_cast<std::size_t>(n)]; }

    void load() {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        for (const Block& block : blocks_)
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        out.close();
        ASSERT_FALSE(recovery.database.datafiles.open({path_}));
        for (std::size_t n = 0; n < blocks_.size(); ++n) {
            const Block& block = blocks_[n];
            if (block[kBlockTypeOffset] != kDataBlockType) continue;
            recovery.database.blockIndex.appendBlock(
                0, static_cast<std::int32_t>(readU32LE(block.data() + kDataObjectOffset)), block[kSegmentKindOffset],
                static_cast<std::int64_t>(n));
        }
    }
    bool runPasses() {
        load();
        const bool first = decodeDictionaryPass1(recovery, progress);
        const bool second = decodeDictionaryPass2(recovery, progress);
        return first && second;
    }

    Recovery recovery;
    RecordingProgress progress;

private:
    std::vector<Block> blocks_;
    test::TempFolder scratch_{"restorix-dictionary-"};
    std::string path_;
};

template <typename Entry, typename Field>
std::vector<std::string> namesOf(const std::vector<Entry>& list, Field field) {
    std::vector<std::string> names;
    for (const Entry& entry : list) names.push_back(entry.*field);
    return names;
}
std::vector<std::string> schemaNames(const Catalog& c) { return namesOf(c.schemaList, &SchemaEntry::name); }
std::vector<std::string> objectNames(const Catalog& c) { return namesOf(c.objectList, &ObjectEntry::name); }
std::vector<std::string> columnNames(const Catalog& c) { return namesOf(c.columnList, &ColumnEntry::name); }
std::vector<std::string> constraintNameTexts(const Catalog& c) {
    return namesOf(c.constraintNames, &ConstraintNameEntry::name);
}
std::vector<int> defNumbers(const Catalog& c) {
    std::vector<int> numbers;
    for (const auto& def : c.constraintDefs) numbers.push_back(static_cast<int>(def.conNumber));
    return numbers;
}

using Names = std::vector<std::string>;

// --- Column types --------------------------------------------------------------

struct ColumnTypeCase {
    const char* declared;
    StoredColumnType stored;
    ColumnKind kind;  // what the writers make of the catalog's entry
    int length;
    std::optional<int> scale;
    ColumnDamage damage = ColumnDamage::None;
};

class ColumnTypes : public ::testing::TestWithParam<ColumnTypeCase> {};

TEST_P(ColumnTypes, TypeLengthScaleAndKind) {
    const ColumnTypeCase& c = GetParam();
    DictionaryFile file;
    file.addBlock(kObjectTableSegment, {objRow(110, 54, "T", kTable, 110)});
    file.addBlock(kObjectClusterSegment, {objectKey(110), colRow(0, 1, "C", c.stored)});
    ASSERT_TRUE(file.runPasses());
    ASSERT_EQ(file.recovery.catalog.columnList.size(), 1u) << c.declared;
    const ColumnEntry& column = file.recovery.catalog.columnList[0];
    EXPECT_EQ(column.oracleType, c.stored.type) << c.declared;
    EXPECT_EQ(column.precision, c.stored.precision) << c.declared;
    EXPECT_EQ(column.charsetForm, c.stored.charsetForm == kNationalCharsetForm ? kNationalCharsetForm : kImplicitCharsetForm)
        << c.declared;
    EXPECT_EQ(columnKind(column), c.kind) << c.declared;
    EXPECT_EQ(column.length, c.length) << c.declared;
    EXPECT_EQ(column.scale, c.scale) << c.declared;
    EXPECT_EQ(column.columnNumber, 1) << c.declared;
    EXPECT_EQ(column.damage, c.damage) << c.declared;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColumnTypes,
    ::testing::Values(
        ColumnTypeCase{"VARCHAR2(30)", {1, 30, std::nullopt, std::nullopt}, ColumnKind::Varchar2, 31, std::nullopt},
        ColumnTypeCase{"VARCHAR2(4000)", {1, 4000, std::nullopt, std::nullopt}, ColumnKind::Varchar2, 4001, std::nullopt},
        ColumnTypeCase{"RAW(150)", {23, 150, std::nullopt, std::nullopt}, ColumnKind::Raw, 151, std::nullopt},
        ColumnTypeCase{"CHAR(1)", {96, 1, std::nullopt, std::nullopt}, ColumnKind::Char, 2, std::nullopt},
        ColumnTypeCase{"DATE", {12, 7, std::nullopt, std::nullopt}, ColumnKind::Date, 8, std::nullopt},
        ColumnTypeCase{"LONG", {8, 0, std::nullopt, std::nullopt}, ColumnKind::Long, 1, std::nullopt},
        ColumnTypeCase{"CLOB", {112, 4000, std::nullopt, std::nullopt}, ColumnKind::Clob, 4001, std::nullopt},
        // NCLOB keeps its TYPE# and CHARSETFORM; its values are written as a CLOB's.
        ColumnTypeCase{"NCLOB", {112, 4000, std::nullopt, std::nullopt, 2}, ColumnKind::Clob, 4001, std::nullopt},
        ColumnTypeCase{"NUMBER(10,2)", {2, 22, 10, 2}, ColumnKind::NumberScaled, 11, 2},
        ColumnTypeCase{"NUMBER(5,0)", {2, 22, 5, 0}, ColumnKind::NumberScaled, 6, 0},
        ColumnTypeCase{"NUMBER", {2, 22, std::nullopt, std::nullopt}, ColumnKind::NumberInteger, 1, std::nullopt},
        ColumnTypeCase{"INTEGER = NUMBER(*,0)", {2, 22, std::nullopt, 0}, ColumnKind::NumberInteger, 1, 0},
        ColumnTypeCase{"NUMBER(*,2)", {2, 22, std::nullopt, 2}, ColumnKind::NumberStar, 1, 2},
        ColumnTypeCase{"NUMBER(5,-2): a negative scale by value", {2, 22, 5, -2}, ColumnKind::NumberScaled, 6, -2},
        ColumnTypeCase{"FLOAT(126)", {2, 22, 126, std::nullopt}, ColumnKind::Float, 127, std::nullopt},
        ColumnTypeCase{"TIMESTAMP(6)", {180, 11, std::nullopt, 6}, ColumnKind::Timestamp, 7, std::nullopt},
        ColumnTypeCase{"TIMESTAMP(0)", {180, 7, std::nullopt, 0}, ColumnKind::Timestamp, 1, std::nullopt},
        ColumnTypeCase{"TIMESTAMP(3) WITH LOCAL TIME ZONE", {231, 11, std::nullopt, 3}, ColumnKind::TimestampLocal, 4, std::nullopt},
        ColumnTypeCase{"TIMESTAMP(6) WITH TIME ZONE", {181, 13, std::nullopt, 6}, ColumnKind::TimestampZone, 7, std::nullopt},
        ColumnTypeCase{"INTERVAL YEAR(4) TO MONTH", {182, 5, 4, 0}, ColumnKind::IntervalYearMonth, 5, 0},
        ColumnTypeCase{"INTERVAL DAY(3) TO SECOND(2)", {183, 11, 3, 2}, ColumnKind::IntervalDaySecond, 4, 2},
        ColumnTypeCase{"BINARY_DOUBLE", {101, 8, std::nullopt, std::nullopt}, ColumnKind::BinaryDouble, 9, std::nullopt},
        ColumnTypeCase{"NVARCHAR2(10)", {1, 20, std::nullopt, std::nullopt, 2}, ColumnKind::NationalVarchar2, 21, std::nullopt},
        ColumnTypeCase{"NCHAR(4)", {96, 8, std::nullopt, std::nullopt, 2}, ColumnKind::NationalChar, 9, std::nullopt},
        ColumnTypeCase{"VARCHAR2 with charset form 1", {1, 20, std::nullopt, std::nullopt, 1}, ColumnKind::Varchar2, 21, std::nullopt},
        // COL$ rows no Oracle column has: the table cannot be rebuilt from them.
        ColumnTypeCase{"TYPE# 250", {250, 10, std::nullopt, std::nullopt}, ColumnKind::Other, 11, std::nullopt, ColumnDamage::Type},
        ColumnTypeCase{"TYPE# 0", {0, 10, std::nullopt, std::nullopt}, ColumnKind::Other, 11, std::nullopt, ColumnDamage::Type},
        ColumnTypeCase{"VARCHAR2(-5)", {1, -5, std::nullopt, std::nullopt}, ColumnKind::Varchar2, 1, std::nullopt, ColumnDamage::Length},
        ColumnTypeCase{"RAW(40000)", {23, 40000, std::nullopt, std::nullopt}, ColumnKind::Raw, 1, std::nullopt, ColumnDamage::Length},
        ColumnTypeCase{"NUMBER(39)", {2, 22, 39, 0}, ColumnKind::NumberScaled, 40, 0, ColumnDamage::Precision},
        ColumnTypeCase{"NUMBER(5,200)", {2, 22, 5, 200}, ColumnKind::NumberScaled, 6, 200, ColumnDamage::Scale},
        ColumnTypeCase{"FLOAT(127)", {2, 22, 127, std::nullopt}, ColumnKind::Float, 128, std::nullopt, ColumnDamage::Precision},
        ColumnTypeCase{"TIMESTAMP(10)", {180, 11, std::nullopt, 10}, ColumnKind::Timestamp, 11, std::nullopt, ColumnDamage::Precision}));

// --- Recovery options ------------------------------------------------------------

// SYS (user 0) owns TAB$, SCOTT (54) owns EMP and the view EMP_V; DBA is a role.
void addSysAndScott(DictionaryFile& file) {
    file.addBlock(kUserClusterSegment, {userKey(0), userKey(54), userKey(4), userRow(0, "SYS"),
                                        userRow(1, "SCOTT"), userRow(2, "DBA", 0)});
    file.addBlock(kObjectTableSegment,
                  {objRow(20, 0, "TAB$", kTable, 2), objRow(110, 54, "EMP", kTable, 110), objRow(111, 54, "EMP_V", kView)});
    file.addBlock(kConstraintNameSegment, {conRow(0, "SYS_C001", 1), conRow(54, "PK_EMP", 200)});
    file.addBlock(kObjectClusterSegment, {objectKey(20), objectKey(110), colRow(0, 1, "OBJ#", kVarchar30),
                                          colRow(1, 1, "EMPNO", kVarchar30), colRow(1, 2, "ENAME", kVarchar30)});
    file.addBlock(kConstraintClusterSegment, {objectKey(20), objectKey(110), cdefRow(0, 1, 7, std::nullopt, "OBJ# IS NOT NULL"),
                                              ccolRow(0, 1, 1), cdefRow(1, 200, 2, std::nullopt, ""), ccolRow(1, 200, 1)});
}

struct OptionCase {
    const char* option;
    RecoveryOption value;
    Names schemas;
    Names objects;
    Names columns;
    Names constraintNames;
    std::vector<int> definitions;
};

class RecoveryOptionCases : public ::testing::TestWithParam<OptionCase> {};

TEST_P(RecoveryOptionCases, DecideWhatEntersTheCatalog) {
    const OptionCase& c = GetParam();
    DictionaryFile file(c.value);
    addSysAndScott(file);
    ASSERT_TRUE(file.runPasses());
    const Catalog& catalog = file.recovery.catalog;
    EXPECT_EQ(schemaNames(catalog), c.schemas) << c.option;
    EXPECT_EQ(objectNames(catalog), c.objects) << c.option;
    EXPECT_EQ(columnNames(catalog), c.columns) << c.option;
    EXPECT_EQ(constraintNameTexts(catalog), c.constraintNames) << c.option;
    EXPECT_EQ(defNumbers(catalog), c.definitions) << c.option;
    // Constraint columns are never filtered.
    EXPECT_EQ(catalog.constraintColumns.size(), 2u) << c.option;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RecoveryOptionCases,
    ::testing::Values(
        OptionCase{"SYS only", RecoveryOption::SysOnly, {"SYS"}, {"TAB$"}, {"OBJ#"}, {"SYS_C001"}, {1}},
        OptionCase{"all but SYS", RecoveryOption::AllButSys, {"SCOTT"}, {"EMP", "EMP_V"}, {"EMPNO", "ENAME"},
                   {"PK_EMP"}, {200}},
        OptionCase{"all (roles left out)", RecoveryOption::All, {"SYS", "SCOTT"}, {"TAB$", "EMP", "EMP_V"},
                   {"OBJ#", "EMPNO", "ENAME"}, {"SYS_C001", "PK_EMP"}, {1, 200}},
        OptionCase{"none chosen", RecoveryOption::None, {}, {}, {}, {}, {}}));

TEST(RecoveryOptionFlags, SysNameComparedWithoutCase) {
    DictionaryFile file(RecoveryOption::SysOnly);
    file.addBlock(kUserClusterSegment, {userKey(0), userKey(7), userRow(0, "sys"), userRow(1, "SYSTEM")});
    ASSERT_TRUE(file.runPasses());
    EXPECT_EQ(schemaNames(file.recovery.catalog), Names{"sys"});
}

// --- Users ------------------------------------------------------------------------

TEST(UserRows, KeysAreFoundOnlyInTheirOwnBlock) {
    DictionaryFile file;
    // User 101 has a three-byte key, read by value like the others.
    file.addBlock(kUserClusterSegment, {userKey(54), userKey(101), userKey(60),
                                        userRow(0, "SCOTT"), userRow(1, "BIG_NUMBER"), userRow(2, "HR")});
    // A row whose key index names a key of the previous block only.
    file.addBlock(kUserClusterSegment, {userRow(0, "ORPHAN"), userKey(61), userRow(1, "ORPHAN_TOO")});
    ASSERT_TRUE(file.runPasses());
    const Catalog& catalog = file.recovery.catalog;
    EXPECT_EQ(schemaNames(catalog), (Names{"SCOTT", "BIG_NUMBER", "HR"}));
    ASSERT_EQ(catalog.schemaList.size(), 3u);
    EXPECT_EQ(catalog.schemaList[1].userNumber, 101);
    EXPECT_EQ(catalog.schemaList[2].userNumber, 60);
    EXPECT_EQ(catalog.schemaList[2].clusterSlot, 3);
    EXPECT_EQ(catalog.schemaList[1].blockNumber, 1);
    ASSERT_EQ(catalog.userClusterKeys.size(), 4u);
    EXPECT_EQ(catalog.userClusterKeys[3].slot, 1);
    EXPECT_EQ(catalog.userClusterKeys[3].blockNumber, 2);
}

TEST(UserRows, ColumnCountsByRelease) {
    for (const int release : {9, 10, 11}) {
        DictionaryFile file(RecoveryOption::All, release);
        file.addBlock(kUserClusterSegment, {userKey(0), userKey(5), userKey(6), userKey(7), userRow(0, "SYS", 1, 17),
                                            userRow(1, "U19", 1, 19), userRow(2, "U22", 1, 22),
                                            userRow(3, "U18", 1, 18), userRow(0, "DELETED_ROW", 1, 19, 0x7C)});
        ASSERT_TRUE(file.runPasses());
        const Names expected = release == 9 ? Names{"SYS", "U19", "U22", "DELETED_ROW"} : Names{"U19", "U22", "DELETED_ROW"};
        EXPECT_EQ(schemaNames(file.recovery.catalog), expected) << "release " << release;
    }
}

TEST(UserRows, NameConvertedFromTheCodePage) {
    DictionaryFile file;
    file.addBlock(kUserClusterSegment, {userKey(54), userRow(0, "M\xDCLLER")});
    ASSERT_TRUE(file.runPasses());
    EXPECT_EQ(schemaNames(file.recovery.catalog), Names{"M\u00DCLLER"});
}

// --- Objects ------------------------------------------------------------------------

TEST(ObjectRows, WhichRowsBecomeObjects) {
    DictionaryFile file;
    file.addBlock(kObjectTableSegment,
                  {objRow(110, 54, "EMP", kTable, 130),
                   objRow(111, 54, "DROPPED_TABLE", kTable, 111, 18, 0x3C),
                   objRow(112, 54, "EMP_PK", 1),                        // an index
                   objRow(110, 54, "SAME_NUMBER", kView),               // repeated object number
                   objRow(113, 54, "P17", kProcedure, std::nullopt, 17),
                   objRow(114, 54, "F19_COLUMNS", kFunction, std::nullopt, 19),
                   objRow(1000000, 54, "TOO_BIG", kTable),
                   objRow(115, 0, "TRG", kTrigger),
                   objRow(116, 54, "CHAINED", kTable, 116, 18, 0x28)});  // head piece of a chained row
    ASSERT_TRUE(file.runPasses());
    const Catalog& catalog = file.recovery.catalog;
    EXPECT_EQ(objectNames(catalog), (Names{"EMP", "DROPPED_TABLE", "P17", "TOO_BIG", "TRG"}));
    ASSERT_EQ(catalog.objectList.size(), 5u);
    EXPECT_EQ(catalog.objectList[0].objectNumber, 110);
    EXPECT_EQ(catalog.objectList[0].dataObjectNumber, 130);
    EXPECT_EQ(catalog.objectList[0].owner(), 54);
    EXPECT_EQ(catalog.objectList[0].type(), kTable);
    EXPECT_EQ(catalog.objectList[0].blockNumber, 1);
    EXPECT_EQ(catalog.objectList[2].dataObjectNumber, 113);  // no segment: the object number
    EXPECT_EQ(catalog.objectList[4].owner(), 0);
}

// --- Columns --------------------------------------------------------------------------

TEST(ColumnRows, WhichRowsBecomeColumns) {
    DictionaryFile file;
    file.addBlock(kObjectTableSegment, {objRow(110, 54, "EMP", kTable, 110)});
    file.addBlock(kObjectClusterSegment,
                  {objectKey(110), objectKey(999),  // 999 is in no OBJ$ row
                   colRow(0, 1, "ID", kVarchar30), colRow(0, 100, "COLUMN_100", kVarchar30),
                   colRow(1, 1, "OF_UNKNOWN_TABLE", kVarchar30), colRow(2, 1, "NO_SUCH_KEY", kVarchar30),
                   colRow(0, 2, "DELETED_ROW", kVarchar30, 20, 0x7C), colRow(0, 3, "C23", kVarchar30, 23),
                   colRow(0, 4, "C21", kVarchar30, 21),
                   // COL# 0 without the hidden mark of PROPERTY, and a negative COL#: no column can have them.
                   colRow(0, 0, "ZERO_NOT_HIDDEN", kVarchar30), colRow(0, -3, "NEGATIVE", kVarchar30)});
    ASSERT_TRUE(file.runPasses());
    EXPECT_EQ(columnNames(file.recovery.catalog), (Names{"ID", "COLUMN_100", "DELETED_ROW", "C23"}));
    for (const ColumnEntry& column : file.recovery.catalog.columnList)
        EXPECT_EQ(column.objNumber, 110);
    Names unreadable;
    for (const ColumnEntry* column : file.recovery.catalog.unreadableColumnsOf(110)) {
        unreadable.push_back(column->name);
        EXPECT_EQ(column->damage, ColumnDamage::Number) << column->name;
    }
    EXPECT_EQ(unreadable, (Names{"ZERO_NOT_HIDDEN", "NEGATIVE"}));
}

TEST(ColumnRows, MoreThanNineteenKeysInOneBlock) {
    DictionaryFile file;
    std::vector<Bytes> objects;
    for (int t = 0; t < 21; ++t) objects.push_back(objRow(200 + t, 54, "T" + std::to_string(t), kTable));
    file.addBlock(kObjectTableSegment, objects);
    std::vector<Bytes> cluster;
    for (int t = 0; t < 21; ++t) cluster.push_back(objectKey(200 + t));
    for (int t = 0; t < 21; ++t)
        cluster.push_back(colRow(static_cast<std::uint8_t>(t), 1, "C_OF_T" + std::to_string(t), kVarchar30));
    file.addBlock(kObjectClusterSegment, cluster);
    // The next block starts its keys afresh.
    file.addBlock(kObjectClusterSegment, {objectKey(220), colRow(0, 1, "NEXT_BLOCK", kVarchar30)});
    ASSERT_TRUE(file.runPasses());
    const Catalog& catalog = file.recovery.catalog;
    ASSERT_EQ(catalog.columnList.size(), 20u);
    EXPECT_EQ(catalog.columnList[18].name, "C_OF_T18");
    EXPECT_EQ(catalog.columnList[19].name, "NEXT_BLOCK");
    EXPECT_EQ(catalog.columnList[19].objNumber, catalog.findObject(220)->objNumber);
    EXPECT_EQ(catalog.objectList.size(), 21u);
    ASSERT_EQ(catalog.tableClusterKeys.size(), 1u);  // the last block's keys only
    EXPECT_EQ(catalog.tableClusterKeys[0].blockNumber, 3);
}

// --- Constraints ------------------------------------------------------------------------

TEST(ConstraintRows, DefinitionsColumnsAndNames) {
    for (const int release : {9, 10}) {
        DictionaryFile file(RecoveryOption::All, release);
        const int ccolColumns = release == 9 ? 4 : 5;
        const std::string longCondition = "STATUS IN ('" + std::string(300, 'A') + "')";
        file.addBlock(kObjectTableSegment, {objRow(110, 54, "EMP", kTable), objRow(120, 54, "DEPT", kTable)});
        file.addBlock(kConstraintNameSegment,
                      {conRow(54, "FK_DEPT", 301), conRow(0, "SYS_OWNED", 302), conRow(101, "BIG_OWNER", 303),
                       forge::makeRow({Column{}, txt("NULL_OWNER"), num(304)})});
        file.addBlock(kConstraintClusterSegment,
                      {objectKey(120), objectKey(110), cdefRow(1, 301, 4, 290, "", 15),
                       ccolRow(1, 301, 3, ccolColumns), ccolRow(1, 301, 4, ccolColumns),
                       cdefRow(1, 302, 1, std::nullopt, longCondition), cdefRow(2, 303, 2, std::nullopt, ""),
                       cdefRow(0, 290, 2, std::nullopt, "")});
        ASSERT_TRUE(file.runPasses());
        const Catalog& catalog = file.recovery.catalog;

        const auto names = catalog.constraintNames;
        // Owners by value, a three-byte one included; a row without an owner names nobody's.
        ASSERT_EQ(names.size(), 3u);
        EXPECT_EQ(names[0].ownerNumber, 54);
        EXPECT_EQ(names[0].conNumber, 301);
        EXPECT_EQ(names[1].ownerNumber, 0);
        EXPECT_EQ(names[2].ownerNumber, 101);

        EXPECT_EQ(defNumbers(catalog), (std::vector<int>{301, 302, 290})) << "release " << release;
        const ConstraintDefEntry& foreignKey = catalog.constraintDefs[0];
        EXPECT_EQ(foreignKey.conType, 4);
        EXPECT_EQ(foreignKey.objNumber, catalog.findObject(110)->objNumber);
        EXPECT_EQ(foreignKey.refConNumber, 290);
        EXPECT_EQ(foreignKey.clusterSlot, 1);
        EXPECT_EQ(catalog.constraintDefs[1].condition, longCondition);
        EXPECT_EQ(catalog.constraintDefs[2].objNumber, catalog.findObject(120)->objNumber);

        ASSERT_EQ(catalog.constraintColumns.size(), 2u) << "release " << release;
        EXPECT_EQ(catalog.constraintColumns[1].columnNumber, 4);
        EXPECT_EQ(catalog.constraintColumns[1].clusterSlot, 1);
        ASSERT_EQ(catalog.constraintClusterKeys.size(), 2u);
        EXPECT_EQ(catalog.constraintClusterKeys[1].slot, 1);
    }
}

// --- Walking the blocks ------------------------------------------------------------------

TEST(BlockWalk, PhasesAndProgressFollowTheDecodedBlocks) {
    DictionaryFile file;
    file.addBlock(kUserClusterSegment, {userKey(54), userRow(0, "SCOTT")});       // block 1
    file.addBlock(kObjectTableSegment, {objRow(110, 54, "EMP", kTable)});         // block 2
    file.addBlock(77, {});                                                        // another segment
    file.addBlock(kUserClusterSegment, {userKey(55), userRow(0, "HR")});          // block 4
    file.addBlock(kConstraintNameSegment, {conRow(54, "C", 1)});                  // block 5
    file.addBlock(kObjectClusterSegment, {objectKey(110)});                       // block 6
    file.addBlock(kConstraintClusterSegment, {objectKey(110)});                   // block 7
    file.addBlock(kConstraintClusterSegment, {objectKey(110)});                   // block 8
    file.load();
    ASSERT_TRUE(decodeDictionaryPass1(file.recovery, file.progress));
    EXPECT_EQ(file.progress.phases,
              (Names{kReadingSchemaText, kReadingTablesText, kReadingSchemaText, kReadingConstraintsText}));
    // (block * 8192 - 1) * 100 / (9 * 8192)
    EXPECT_EQ(file.progress.bars, (std::vector<int>{11, 22, 44, 55}));
    EXPECT_EQ(schemaNames(file.recovery.catalog), (Names{"SCOTT", "HR"}));

    file.progress = {};
    ASSERT_TRUE(decodeDictionaryPass2(file.recovery, file.progress));
    EXPECT_EQ(file.progress.phases, Names{kReadingColumnsText});
    EXPECT_EQ(file.progress.bars, (std::vector<int>{77, 88}));
}

// Writes a u16 into a built block.
void put16(Block& block, int offset, std::uint16_t value) {
    block[static_cast<std::size_t>(offset)] = static_cast<std::uint8_t>(value & 0xFF);
    block[static_cast<std::size_t>(offset) + 1] = static_cast<std::uint8_t>(value >> 8);
}

// A dictionary block the pass cannot read: its row directory runs past its
// end, or a read error of the disk. Which directories run past the block is
// the walk's table; here what the pass makes of one.
enum class BadBlock { DirectoryPastItsEnd, UnreadableSector };

struct BadDictionaryBlockCase {
    const char* what;
    BadBlock bad;
    std::int32_t segment;
    std::function<Bytes(long long obj, std::string_view name)> row;
    std::function<Names(const Catalog&)> names;
};
void PrintTo(const BadDictionaryBlockCase& c, std::ostream* os) { *os << c.what; }

class BadDictionaryBlock : public ::testing::TestWithParam<BadDictionaryBlockCase> {};

// The block is skipped and counted; the blocks after it are still read.
TEST_P(BadDictionaryBlock, IsSkippedAndCountedAndTheRestIsRead) {
    const BadDictionaryBlockCase& c = GetParam();
    DictionaryFile file;
    file.addBlock(c.segment, {c.row(110, "BEFORE")});
    const int bad = file.addBlock(c.segment, {});
    file.addBlock(c.segment, {c.row(112, "AFTER")});
    Block& block = file.block(bad);
    block[kItlCountOffset] = 2;
    if (c.bad == BadBlock::DirectoryPastItsEnd)
        put16(block, kFixedHeaderSize + kItlEntrySize * 2 + kRowSlotCountOffset, 5000);
    file.load();
    if (c.bad == BadBlock::UnreadableSector) {
        const std::int64_t sector = std::int64_t{bad} * kBlockSize + 1024;
        file.recovery.database.datafiles.at(0).file.setReadFaults(
            [sector](std::int64_t position, std::size_t length) {
                return position <= sector && sector < position + static_cast<std::int64_t>(length);
            });
    }
    EXPECT_TRUE(decodeDictionaryPass1(file.recovery, file.progress));
    EXPECT_EQ(c.names(file.recovery.catalog), (Names{"BEFORE", "AFTER"}));
    EXPECT_EQ(file.recovery.catalog.dictionaryBlocksNotRead, 1);
    const std::vector<std::int64_t> unreadable = file.recovery.database.datafiles.at(0).unreadable.all();
    EXPECT_EQ(unreadable, c.bad == BadBlock::UnreadableSector ? std::vector<std::int64_t>{bad}
                                                              : std::vector<std::int64_t>{});
}

const auto kObjRow = [](long long obj, std::string_view name) { return objRow(obj, 54, name, kTable); };
const auto kConRow = [](long long con, std::string_view name) { return conRow(54, name, con); };

INSTANTIATE_TEST_SUITE_P(
    Table, BadDictionaryBlock,
    ::testing::Values(
        BadDictionaryBlockCase{"obj_directory_past_its_end", BadBlock::DirectoryPastItsEnd, kObjectTableSegment, kObjRow,
                               objectNames},
        BadDictionaryBlockCase{"obj_unreadable_sector", BadBlock::UnreadableSector, kObjectTableSegment, kObjRow,
                               objectNames},
        BadDictionaryBlockCase{"con_directory_past_its_end", BadBlock::DirectoryPastItsEnd, kConstraintNameSegment,
                               kConRow, constraintNameTexts},
        BadDictionaryBlockCase{"con_unreadable_sector", BadBlock::UnreadableSector, kConstraintNameSegment, kConRow,
                               constraintNameTexts}),
    [](const ::testing::TestParamInfo<BadDictionaryBlockCase>& info) { return std::string(info.param.what); });

TEST(HostileBlocks, PiecesAndColumnsPastTheBlockAreDropped) {
    DictionaryFile file;
    // ITL count 255 with two slots whose pieces would start past the block.
    Block far{};
    far[kBlockTypeOffset] = kDataBlockType;
    far[kDataObjectOffset] = kObjectTableSegment;
    far[kItlCountOffset] = 255;
    const int h = kFixedHeaderSize + kItlEntrySize * 255;
    far[static_cast<std::size_t>(h + kTableCountOffset)] = 1;
    put16(far, h + kRowSlotCountOffset, 2);
    put16(far, h + kDataHeaderSize + kTableDirectoryEntrySize, 0x1000);
    put16(far, h + kDataHeaderSize + kTableDirectoryEntrySize + 2, kBlockSize - h);
    file.addRawBlock(far);

    // A row whose name claims 8000 bytes: the first row sits at the end of the block.
    forge::DataBlockBuilder builder(kObjectTableSegment, 2);
    const Bytes longName = objRow(120, 54, "X", kTable);
    builder.addRow(longName);
    builder.addRow(objRow(121, 54, "GOOD", kTable));
    Block block = builder.build();
    // Header, OBJ# (length and C2 02 15), DATAOBJ# (NULL), OWNER# (length and C1 37).
    const std::size_t nameLength = kBlockSize - longName.size() + 3 + 4 + 1 + 3;
    ASSERT_EQ(block[nameLength], 1);
    block[nameLength] = kLongLength;
    put16(block, static_cast<int>(nameLength) + 1, 8000);
    file.addRawBlock(block);
    file.addBlock(kObjectTableSegment, {objRow(122, 54, "LAST", kTable)});
    ASSERT_TRUE(file.runPasses());
    EXPECT_EQ(objectNames(file.recovery.catalog), (Names{"GOOD", "LAST"}));
}

// Every record the passes make must hold together whatever the bytes were.
TEST(HostileBlocks, FlippedBytesNeverBreakTheCatalog) {
    std::mt19937 random(20240607);
    for (int round = 0; round < 150; ++round) {
        DictionaryFile file;
        addSysAndScott(file);
        file.addBlock(kSourceSegment10, {sourceRow(110, 1, "PROCEDURE P IS"), sourceRow(110, 2, "BEGIN NULL; END;")});
        for (int flip = 0; flip < 40; ++flip) {
            Block& block = file.block(1 + static_cast<int>(random() % 6));
            block[kItlCountOffset + random() % (kBlockSize - kItlCountOffset)] = static_cast<std::uint8_t>(random());
        }
        file.runPasses();
        const DictionaryNumber procedure[] = {110};
        readStoredSource(file.recovery.database, procedure, file.recovery.analysisControl);
        const Catalog& catalog = file.recovery.catalog;
        for (const ObjectEntry& object : catalog.objectList) {
            EXPECT_GE(object.objectNumber, 0);
            EXPECT_TRUE(object.type() == kTable || object.type() == kView || object.type() == kProcedure ||
                        object.type() == kFunction || object.type() == kTrigger);
        }
        for (const ColumnEntry& column : catalog.columnList) {
            EXPECT_NE(catalog.findObject(column.objNumber), nullptr) << "round " << round;
            EXPECT_GE(column.columnNumber, 1);
        }
        for (const ConstraintDefEntry& def : catalog.constraintDefs)
            EXPECT_NE(catalog.findObject(def.objNumber), nullptr) << "round " << round;
        for (const SchemaEntry& schema : catalog.schemaList) EXPECT_FALSE(schema.name.empty());
        EXPECT_LE(catalog.tableClusterKeys.size(), kMaxTableClusterKeys);
    }
}

// --- Stored source -----------------------------------------------------------------------

TEST(StoredSource, ReadsTheLinesOfOneObject) {
    for (const int release : {9, 10, 11}) {
        DictionaryFile file(RecoveryOption::All, release);
        const std::int32_t segment = release == 9 ? kSourceSegment9 : release == 10 ? kSourceSegment10 : kSourceSegment11;
        const std::string longLine = "  v := '" + std::string(280, 'x') + "';";
        file.addBlock(kObjectTableSegment, {objRow(100, 54, "P", kProcedure), objRow(102, 54, "Q", kProcedure)});
        // Object 102 is stored C2 02 03: its rows start with the bytes of object 100.
        file.addBlock(segment, {sourceRow(100, 1, "PROCEDURE P IS\n"), sourceRow(102, 1, "PROCEDURE Q IS"),
                                sourceRow(100, 2, "BEGIN\n  NULL;\nEND;"), sourceRow(100, 9, "DELETED", 0x3C)});
        file.addBlock(kSourceSegment10 == segment ? kSourceSegment9 : kSourceSegment10,
                      {sourceRow(100, 5, "OTHER RELEASE'S SEGMENT")});
        file.addBlock(segment, {sourceRow(100, 3, longLine), sourceRow(100, 1, "REPEATED LINE 1")});
        file.runPasses();
        // Both objects in one pass.
        const DictionaryNumber objects[] = {100, 102};
        const std::optional<StoredSource> source =
            readStoredSource(file.recovery.database, objects, file.recovery.analysisControl);
        ASSERT_TRUE(source);
        const auto& lines = source->of(100).lines();
        ASSERT_EQ(lines.size(), 3u) << "release " << release;
        ASSERT_EQ(source->of(102).lines().size(), 1u);
        EXPECT_EQ(source->of(102).lines()[0].text, "PROCEDURE Q IS");
        // Rows of a block are found by their bytes, from the start of the block.
        EXPECT_EQ(lines[0].lineNumber, 2);
        EXPECT_EQ(lines[0].text, "BEGIN   NULL; END;");
        EXPECT_EQ(lines[1].lineNumber, 1);
        EXPECT_EQ(lines[1].text, "PROCEDURE P IS ");
        EXPECT_EQ(lines[2].lineNumber, 3);
        EXPECT_EQ(lines[2].text, longLine);
        EXPECT_EQ(lines[2].objNumber, 100);
    }
}

TEST(StoredSource, UnknownObjectsAndTheCallersStop) {
    DictionaryFile file;
    file.addBlock(kObjectTableSegment, {objRow(100, 54, "P", kProcedure)});
    file.addBlock(kSourceSegment10, {sourceRow(100, 1, "a"), sourceRow(100, 2, "b")});
    file.addBlock(kSourceSegment10, {sourceRow(100, 3, "c")});
    file.runPasses();
    JobControl control;
    const DictionaryNumber known[] = {100};
    const std::optional<StoredSource> source = readStoredSource(file.recovery.database, known, control);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->of(100).lines().size(), 3u);

    const DictionaryNumber unknown[] = {4242};
    const std::optional<StoredSource> nothing = readStoredSource(file.recovery.database, unknown, control);
    ASSERT_TRUE(nothing);
    EXPECT_TRUE(nothing->of(4242).empty());

    // The caller's control stops the reading, not the analysis'.
    control.requestStop();
    EXPECT_FALSE(readStoredSource(file.recovery.database, known, control));
    EXPECT_TRUE(readStoredSource(file.recovery.database, known, file.recovery.analysisControl));
}

// --- Stop and pause from another thread ---------------------------------------------------

constexpr int kBusyBlocks = 120;

// Many OBJ$ blocks, so that a pass takes a while.
void addManyObjects(DictionaryFile& file) {
    for (int b = 0; b < kBusyBlocks; ++b) {
        std::vector<Bytes> rows;
        for (int r = 0; r < 40; ++r) {
            const int number = 1000 + b * 40 + r;
            rows.push_back(objRow(number, 54, "T" + std::to_string(number), kTable));
        }
        file.addBlock(kObjectTableSegment, rows);
    }
}

constexpr std::size_t kBusyObjects = kBusyBlocks * 40;

// What a stopped pass leaves is what a full pass makes, cut short.
void expectPrefixOfFullRun(const Catalog& catalog) {
    ASSERT_LE(catalog.objectList.size(), kBusyObjects);
    for (std::size_t i = 0; i < catalog.objectList.size(); ++i)
        ASSERT_EQ(catalog.objectList[i].objectNumber, static_cast<std::int32_t>(1000 + i));
}

TEST(StopAndPause, StopRequestedMidPassFromAnotherThread) {
    DictionaryFile file;
    addManyObjects(file);
    file.load();
    std::promise<void> reached;
    int calls = 0;
    file.progress.onProgress = [&] {
        if (++calls != 30) return;
        reached.set_value();
        while (!file.recovery.analysisControl.stopRequested()) std::this_thread::yield();
    };
    std::thread stopper([&] {
        reached.get_future().wait();
        file.recovery.analysisControl.requestStop();
    });
    const bool result = decodeDictionaryPass1(file.recovery, file.progress);
    stopper.join();
    EXPECT_FALSE(result);
    EXPECT_LT(file.recovery.catalog.objectList.size(), kBusyObjects);
    expectPrefixOfFullRun(file.recovery.catalog);
    EXPECT_FALSE(decodeDictionaryPass2(file.recovery, file.progress));
}

TEST(StopAndPause, StopAtRandomMoments) {
    DictionaryFile file;
    addManyObjects(file);
    file.load();
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(decodeDictionaryPass1(file.recovery, file.progress));
    const auto fullRun = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
    ASSERT_EQ(file.recovery.catalog.objectList.size(), kBusyObjects);

    std::mt19937 random(7);
    for (int round = 0; round < 8; ++round) {
        file.recovery.catalog.releaseCatalog();
        file.recovery.analysisControl.reset();
        const auto delay = std::chrono::microseconds(random() % (fullRun.count() + 1));
        std::thread stopper([&] {
            std::this_thread::sleep_for(delay);
            file.recovery.analysisControl.requestStop();
        });
        const bool completed = decodeDictionaryPass1(file.recovery, file.progress);
        stopper.join();
        if (completed) EXPECT_EQ(file.recovery.catalog.objectList.size(), kBusyObjects);
        else expectPrefixOfFullRun(file.recovery.catalog);
    }
}

TEST(StopAndPause, PauseHoldsThePassUntilResumed) {
    DictionaryFile file;
    addManyObjects(file);
    file.load();
    JobControl& control = file.recovery.analysisControl;
    std::atomic<int> calls{0};
    std::promise<void> reached;
    file.progress.onProgress = [&] {
        if (++calls != 10) return;
        reached.set_value();
        while (!control.paused()) std::this_thread::yield();
    };
    std::atomic<bool> finished{false};
    bool result = false;
    std::thread job([&] {
        result = decodeDictionaryPass1(file.recovery, file.progress);
        finished = true;
    });
    reached.get_future().wait();
    control.pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int whilePaused = calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(finished);
    EXPECT_EQ(calls, whilePaused);
    EXPECT_EQ(whilePaused, 10);
    control.resume();
    job.join();
    EXPECT_TRUE(result);
    EXPECT_EQ(calls, kBusyBlocks);
    EXPECT_EQ(file.recovery.catalog.objectList.size(), kBusyObjects);
}

}  // namespace
