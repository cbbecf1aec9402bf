#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tabledata/data_script_writer.h"
#include "tabledata/sql_literal.h"
#include "tabledata/value_format.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

class DataScriptWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_.path();
        saving_.qualifiedTable = "HR.DEPT";
        saving_.currentDataFile = folder_ / "DEPTData.sql";
    }
    std::string script() const { return readFile(saving_.currentDataFile); }

    TempFolder scratch_{"restorix-writer-"};
    fs::path folder_;
    SavingState saving_;
};

}  // namespace

TEST_F(DataScriptWriterTest, AppendsWhatItIsGivenWithoutTruncating) {
    std::ofstream(saving_.currentDataFile, std::ios::binary) << "old\r\n";
    DataScriptWriter writer(saving_);
    EXPECT_TRUE(writer.writeStatements("insert into HR.DEPT values ('caf\xE9 \x80' ) ; \r\nCommit;\r\n"));
    EXPECT_EQ(script(), "old\r\ninsert into HR.DEPT values ('caf\xE9 \x80' ) ; \r\nCommit;\r\n");
}

TEST_F(DataScriptWriterTest, CreatesTheScriptEvenWithoutStatements) {
    EXPECT_TRUE(DataScriptWriter(saving_).writeStatements({}));
    EXPECT_TRUE(fs::exists(saving_.currentDataFile));
    EXPECT_EQ(script(), "");
}

// A script that cannot be opened or written (a full disk) raises the
// system's reason, never passed over in silence.
TEST_F(DataScriptWriterTest, AScriptThatCannotBeOpenedOrWrittenRaisesTheSystemsReason) {
    fs::create_symlink("/dev/full", folder_ / "FULLData.sql");
    const std::pair<fs::path, int> cases[] = {{folder_ / "missing-folder" / "DEPTData.sql", ENOENT},
                                              {folder_ / "FULLData.sql", ENOSPC}};
    for (const auto& [script, errorCode] : cases) {
        saving_.currentDataFile = script;
        try {
            DataScriptWriter(saving_).writeStatements("insert into HR.DEPT values ('1' ) ; \r\nCommit;\r\n");
            ADD_FAILURE() << script << ": no failure raised";
        } catch (const OutputFileError& error) {
            EXPECT_EQ(std::string(error.what()), script.string() + ": " + std::strerror(errorCode));
        }
    }
}

TEST_F(DataScriptWriterTest, ConfirmedStopWritesNothing) {
    saving_.control.requestStop();
    EXPECT_FALSE(DataScriptWriter(saving_).writeStatements("insert into HR.DEPT values ('1' ) ; \r\nCommit;\r\n"));
    EXPECT_FALSE(fs::exists(saving_.currentDataFile));
}

TEST_F(DataScriptWriterTest, OneWriterOpensOnceAndFollowsANewPath) {
    DataScriptWriter writer(saving_);
    writer.writeStatements("one\r\n");
    // Gone from its folder, the open script still takes what follows.
    const fs::path first = saving_.currentDataFile;
    fs::rename(first, folder_ / "moved.sql");
    writer.writeStatements("two\r\n");
    saving_.currentDataFile = folder_ / "EMPData.sql";
    writer.writeStatements("three\r\n");
    EXPECT_EQ(readFile(folder_ / "moved.sql"), "one\r\ntwo\r\n");
    EXPECT_EQ(script(), "three\r\n");
}

// --- Statements built value by value ------------------------------------------

struct BuilderValue {
    std::string text;
    ValueKind kind;
    std::uint8_t columnCount;
};

struct BuilderCase {
    const char* name;
    std::vector<BuilderValue> values;
    std::string expected;
};
void PrintTo(const BuilderCase& c, std::ostream* os) { *os << c.name; }

class DataStatements : public ::testing::TestWithParam<BuilderCase> {};

TEST_P(DataStatements, GroupsValuesIntoCompleteRows) {
    DataStatementBuilder builder("HR.T");
    // Bytes already there stay as they are, even when they are no UTF-8.
    std::string out = "\xE9 earlier\r\n";
    builder.start(out);
    for (const BuilderValue& v : GetParam().values) builder.addCodePageText(v.kind, v.text, v.columnCount);
    builder.finish();
    EXPECT_EQ(out, "\xE9 earlier\r\n" + GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DataStatements,
    ::testing::Values(
        BuilderCase{"TwoRowsOfTwo",
                    {{"1", ValueKind::Number, 2}, {"A", ValueKind::Text, 2}, {"2", ValueKind::Number, 2},
                     {"NULL", ValueKind::Null, 2}},
                    "insert into HR.T values ('1','A' ) ; \r\nCommit;\r\ninsert into HR.T values ('2',NULL ) ; \r\nCommit;\r\n"},
        BuilderCase{"IncompleteLastRowLeftOut",
                    {{"1", ValueKind::Number, 2}, {"A", ValueKind::Text, 2}, {"2", ValueKind::Number, 2}},
                    "insert into HR.T values ('1','A' ) ; \r\nCommit;\r\n"},
        BuilderCase{"CountZeroMakesEveryValueARow",
                    {{"1", ValueKind::Number, 0}, {"2", ValueKind::Number, 0}},
                    "insert into HR.T values ('1' ) ; \r\nCommit;\r\ninsert into HR.T values ('2' ) ; \r\nCommit;\r\n"},
        // A row piece with more stored values than the table has columns: the
        // extra values open the next statement.
        BuilderCase{"ExtraValuesOpenTheNextStatement",
                    {{"1", ValueKind::Number, 2}, {"A", ValueKind::Text, 2}, {"B", ValueKind::Text, 2},
                     {"2", ValueKind::Number, 2}, {"C", ValueKind::Text, 2}},
                    "insert into HR.T values ('1','A' ) ; \r\nCommit;\r\ninsert into HR.T values ('B','2' ) ; \r\nCommit;\r\n"},
        BuilderCase{"OneColumnGivesAStatementPerValue",
                    {{"1", ValueKind::Number, 1}, {"caf\xE9 \x80", ValueKind::Text, 1}},
                    "insert into HR.T values ('1' ) ; \r\nCommit;\r\ninsert into HR.T values ('caf\xE9 \x80' ) ; \r\nCommit;\r\n"},
        BuilderCase{"NothingAdded", {}, ""},
        BuilderCase{"ValueTooLongForSqlRunsInABlock",
                    {{"1", ValueKind::Number, 2}, {std::string(4001, 'L'), ValueKind::Text, 2}},
                    "BEGIN\r\ninsert into HR.T values ('1',\r\n'" + std::string(1000, 'L') + "'||\r\n'" +
                        std::string(1000, 'L') + "'||\r\n'" + std::string(1000, 'L') + "'||\r\n'" +
                        std::string(1000, 'L') + "'||\r\n'L' ) ; \r\nEND;\r\n/\r\nCommit;\r\n"},
        BuilderCase{"LongStatementWithoutLongValueNeedsNoBlock",
                    {{std::string(1500, 'a'), ValueKind::Text, 2}, {std::string(900, 'b'), ValueKind::Text, 2}},
                    "insert into HR.T values ('" + std::string(1000, 'a') + "'||\r\n'" + std::string(500, 'a') +
                        "',\r\n'" + std::string(900, 'b') + "' ) ; \r\nCommit;\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DataStatementsReuse, EachRunStartsAfresh) {
    DataStatementBuilder builder("HR.T");
    std::string first;
    builder.start(first);
    builder.addCodePageText(ValueKind::Number, "1", 2);  // never completed
    builder.finish();
    std::string second = "kept";
    builder.start(second);
    builder.addCodePageText(ValueKind::Number, "2", 2);
    builder.addCodePageText(ValueKind::Text, "B", 2);
    builder.finish();
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "keptinsert into HR.T values ('2','B' ) ; \r\nCommit;\r\n");
}

// Random text bytes: every byte value, with the bytes quoting replaces, the
// zero byte and the code page's five undefined bytes made frequent.
std::string randomTextBytes(std::mt19937& random) {
    static constexpr std::array<char, 10> kSpecial = {'\'', '&', '\r', '\n', '\0',
                                                      '\x81', '\x8D', '\x8F', '\x90', '\x9D'};
    std::string bytes(random() % 41, ' ');
    for (char& b : bytes) b = random() % 4 == 0 ? kSpecial[random() % kSpecial.size()] : static_cast<char>(random());
    return bytes;
}

// One row's statement and commit line built in UTF-8, from the values' UTF-8
// texts.
std::string utf8Statement(std::string_view table, std::span<const RowValue> row) {
    std::string statement;
    appendInsertHead(statement, table);
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0) statement += kItemSeparator;
        appendSqlItem(statement, row[i].kind, row[i].text);
    }
    appendInsertTail(statement);
    statement += kStatementEnd;
    return statement;
}

// Statements built from the stored code-page bytes are byte for byte those of
// the long way round: each value turned into UTF-8, the statements built in
// UTF-8 and turned back into the code page as a whole.
TEST(DataStatementsCodePage, StoredBytesGiveTheBytesOfTheUtf8Way) {
    const std::string table = "SCH\u00C9MA.T\u00C4BLE\u20AC";  // UTF-8, as names are kept
    constexpr std::uint8_t kColumns = 3;
    std::string allBytes(256, ' ');
    for (int b = 0; b < 256; ++b) allBytes[static_cast<std::size_t>(b)] = static_cast<char>(b);
    std::mt19937 random(20261207);
    for (int run = 0; run < 300; ++run) {
        std::vector<RowValue> utf8Values;
        std::string stored, text;
        DataStatementBuilder builder(table);
        builder.start(stored);
        for (int v = 0; v < kColumns * 4 + run % kColumns; ++v) {
            const std::string bytes = run == 0 && v == 0 ? allBytes : randomTextBytes(random);
            const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            const ColumnKind type = random() % 2 == 0 ? ColumnKind::Char : ColumnKind::Varchar2;
            const ValueKind kind = formatColumnValueInto(type, span, text, TextBytes::CodePage);
            builder.addCodePageText(kind, text, kColumns);
            utf8Values.push_back(RowValue{kColumns, formatColumnValue(type, span).text, 5000, kind});
        }
        builder.finish();

        std::string utf8Statements;
        for (std::size_t row = 0; row + kColumns <= utf8Values.size(); row += kColumns)
            utf8Statements += utf8Statement(table, std::span(utf8Values).subspan(row, kColumns));
        ASSERT_EQ(stored, toCodePage(utf8Statements)) << "run " << run;
    }
}

TEST(DataStatementsTooLong, ValueBeyondAPlsqlLiteralIsWrittenNullAndCounted) {
    DataStatementBuilder builder("HR.T");
    std::string out;
    builder.start(out);
    builder.addCodePageText(ValueKind::Text, std::string(32767, 'k'), 2);
    builder.addCodePageText(ValueKind::Text, std::string(32768, 'n'), 2);
    builder.finish();
    EXPECT_EQ(builder.valuesTooLong(), 1u);
    EXPECT_TRUE(out.starts_with("BEGIN\r\ninsert into HR.T values ('kkk"));
    EXPECT_TRUE(out.ends_with("k',\r\nNULL ) ; \r\nEND;\r\n/\r\nCommit;\r\n"));
    EXPECT_EQ(out.find("nnnn"), std::string::npos);
}

// --- Skip Table ----------------------------------------------------------------

struct SkipCase {
    const char* name;
    bool tableInProgress;
    bool answer;
    bool expectAsked;
};
void PrintTo(const SkipCase& c, std::ostream* os) { *os << c.name; }

class DataScriptSkipTable : public ::testing::TestWithParam<SkipCase> {};

TEST_P(DataScriptSkipTable, AsksOnlyWhileATableIsRead) {
    const SkipCase& c = GetParam();
    SavingState saving;
    saving.tableInProgress.store(c.tableInProgress);
    saving.skipRequested.store(true);  // an earlier Yes, not yet acted on
    FixedAnswer prompter(c.answer);
    EXPECT_EQ(askSkipTable(saving, prompter, "Do you want to skip the table?", " Restorix"), c.expectAsked);
    if (c.expectAsked) {
        ASSERT_EQ(prompter.questions.size(), 1u);
        EXPECT_EQ(prompter.questions[0], "Do you want to skip the table?");
        EXPECT_EQ(prompter.captions[0], " Restorix");
        EXPECT_EQ(saving.skipRequested.load(), c.answer);  // the last answer counts
    } else {
        EXPECT_TRUE(prompter.questions.empty());
        EXPECT_TRUE(saving.skipRequested.load());
    }
    EXPECT_FALSE(saving.control.paused());
}

INSTANTIATE_TEST_SUITE_P(Table, DataScriptSkipTable,
                         ::testing::Values(SkipCase{"YesWhileReading", true, true, true},
                                           SkipCase{"NoWhileReading", true, false, true},
                                           SkipCase{"BetweenTables", false, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DataScriptSkipTablePause, APausedJobStaysPaused) {
    SavingState saving;
    saving.tableInProgress.store(true);
    saving.control.pause();
    FixedAnswer prompter(true);
    askSkipTable(saving, prompter, "Do you want to skip the table?", "t");
    EXPECT_TRUE(saving.control.paused());
    EXPECT_TRUE(saving.skipRequested.load());
}
