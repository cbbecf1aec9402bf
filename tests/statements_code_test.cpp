#include <gtest/gtest.h>

#include "output/code_statements.h"

using namespace restorix;

namespace {

TEST(ViewStatement, AppendsTerminatorAndConvertsLineFeeds) {
    EXPECT_EQ(viewScriptText("HR", "EMP_V", "select ename\nfrom emp"),
              "Create or Replace View HR.EMP_V as select ename\r\nfrom emp;\r\n\r\n");
    EXPECT_EQ(viewScriptText("hr", "USER", "select 1 from dual"),
              "Create or Replace View hr.\"USER\" as select 1 from dual;\r\n\r\n");
}

// sqlplus would end the statement at a blank line and run the rest as another.
TEST(ViewStatement, BlankLinesOfTheStoredTextAreLeftOut) {
    EXPECT_EQ(viewScriptText("HR", "V", "select a\n\n  \t\nfrom t\n"),
              "Create or Replace View HR.V as select a\r\nfrom t;\r\n\r\n");
    EXPECT_EQ(viewScriptText("HR", "V", "\nselect a\r\n\r\nfrom t"),
              "Create or Replace View HR.V as select a\r\r\nfrom t;\r\n\r\n");
}

TEST(ViewStatement, EmptyTextWritesNothing) { EXPECT_FALSE(viewScriptText("HR", "V", "").has_value()); }

TriggerDefinition dmlTrigger() {
    TriggerDefinition t;
    t.schemaName = "HR";
    t.triggerName = "EMP_TRG";
    t.triggerType = 3;
    t.insertEvent = true;
    t.updateEvent = true;
    t.target = TriggerDefinition::Target{"HR", "EMP"};
    t.definition = "EMP_TRG after insert or update on emp\nfor each row\n";
    t.body = "begin\n  null;\nend;";
    return t;
}

struct TriggerCase {
    const char* label;
    TriggerDefinition trigger;
    const char* expected;
};

void PrintTo(const TriggerCase& c, std::ostream* os) { *os << c.label; }

template <typename Change>
TriggerDefinition changed(Change change) {
    TriggerDefinition t = dmlTrigger();
    change(t);
    return t;
}

class TriggerStatementTest : public ::testing::TestWithParam<TriggerCase> {};

TEST_P(TriggerStatementTest, BuildsStatement) { EXPECT_EQ(triggerScriptText(GetParam().trigger), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Triggers, TriggerStatementTest,
    ::testing::Values(
        TriggerCase{"insert or update, type 3, line break before for each row", dmlTrigger(),
                    "Create or Replace Trigger HR.EMP_TRG after insert or update on HR.EMP FOR EACH ROW "
                    "begin\r\n  null;\r\nend;\r\n/\r\n\r\n"},
        TriggerCase{"all three events, before, with a when-clause",
                    changed([](TriggerDefinition& t) {
                        t.triggerType = 0;
                        t.deleteEvent = true;
                        t.whenClause = "new.sal > 0";
                        t.body = "begin null; end;";
                    }),
                    "Create or Replace Trigger HR.EMP_TRG before insert or update or delete on HR.EMP "
                    "FOR EACH ROW WHEN (new.sal > 0) begin null; end;\r\n/\r\n\r\n"},
        TriggerCase{"insert or delete, statement level",
                    changed([](TriggerDefinition& t) {
                        t.triggerType = 1;
                        t.updateEvent = false;
                        t.deleteEvent = true;
                        t.definition = "EMP_TRG before insert or delete on emp\n";
                        t.body = "x";
                    }),
                    "Create or Replace Trigger HR.EMP_TRG before insert or delete on HR.EMP x\r\n/\r\n\r\n"},
        TriggerCase{"update or delete, instead of",
                    changed([](TriggerDefinition& t) {
                        t.triggerType = 4;
                        t.insertEvent = false;
                        t.deleteEvent = true;
                        t.body = "x";
                    }),
                    "Create or Replace Trigger HR.EMP_TRG instead of update or delete on HR.EMP FOR EACH ROW "
                    "x\r\n/\r\n\r\n"},
        TriggerCase{"one event, target owner without schema entry, A/B target",
                    changed([](TriggerDefinition& t) {
                        t.triggerType = 2;
                        t.insertEvent = false;
                        t.target = TriggerDefinition::Target{std::nullopt, "A/B"};
                        t.definition.reset();
                        t.body = "x";
                    }),
                    "Create or Replace Trigger HR.EMP_TRG after update on A_B x\r\n/\r\n\r\n"},
        TriggerCase{"reserved and lower-case names",
                    changed([](TriggerDefinition& t) {
                        t.schemaName = "hr";
                        t.triggerName = "order";
                        t.target = TriggerDefinition::Target{"SALES", "TABLE"};
                        t.definition = "order after insert or update on \"TABLE\"\tFOR\tEACH\r\nROW";
                        t.body = "x";
                    }),
                    "Create or Replace Trigger hr.\"order\" after insert or update on SALES.\"TABLE\" "
                    "FOR EACH ROW x\r\n/\r\n\r\n"},
        TriggerCase{"no events, no definition, no base object",
                    changed([](TriggerDefinition& t) {
                        t.schemaName = "SYS";
                        t.triggerName = "T";
                        t.triggerType = 1;
                        t.insertEvent = t.updateEvent = false;
                        t.target.reset();
                        t.definition.reset();
                        t.body = "x";
                    }),
                    "Create or Replace Trigger SYS.T before on Database x\r\n/\r\n\r\n"},
        TriggerCase{"logon trigger written from its definition",
                    changed([](TriggerDefinition& t) {
                        t.schemaName = "SYS";
                        t.triggerName = "LOGON_AUDIT";
                        t.triggerType = 2;
                        t.insertEvent = t.updateEvent = false;
                        t.target.reset();
                        t.definition = "LOGON_AUDIT after logon on database\n";
                        t.whenClause = "user <> 'SYS'";
                        t.body = "begin audit_pkg.log; end;";
                    }),
                    "Create or Replace Trigger SYS.LOGON_AUDIT after logon on database\r\n WHEN (user <> 'SYS') "
                    "begin audit_pkg.log; end;\r\n/\r\n\r\n"},
        TriggerCase{"body absent, definition present",
                    changed([](TriggerDefinition& t) { t.body.reset(); }),
                    "Create or Replace Trigger HR.EMP_TRG after insert or update on HR.EMP FOR EACH ROW "
                    "\r\n/\r\n\r\n"}));

TEST(TriggerStatement, NothingIsWrittenWithoutDefinitionWhenAndBody) {
    TriggerDefinition t = dmlTrigger();
    t.definition.reset();
    t.body.reset();
    EXPECT_FALSE(triggerScriptText(t).has_value());
    t.whenClause = "1 = 1";
    EXPECT_TRUE(triggerScriptText(t).has_value());
}

struct ForEachRowCase {
    const char* definition;
    bool expected;
};

void PrintTo(const ForEachRowCase& c, std::ostream* os) { *os << ::testing::PrintToString(std::string(c.definition)); }

class ForEachRowTest : public ::testing::TestWithParam<ForEachRowCase> {};

TEST_P(ForEachRowTest, FindsTheThreeWords) {
    EXPECT_EQ(definitionIsForEachRow(GetParam().definition), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Definitions, ForEachRowTest,
    ::testing::Values(ForEachRowCase{"T before insert on EMP FOR EACH ROW", true},
                      ForEachRowCase{"t before insert on emp for each row\n", true},
                      ForEachRowCase{"T before insert on EMP\nfor each row", true},
                      ForEachRowCase{"T before insert on EMP\r\n\tFor\t\tEach \n Row\n", true},
                      ForEachRowCase{"T before insert on EMP", false},
                      ForEachRowCase{"T before insert on EMP FOR EACH", false},
                      ForEachRowCase{"T before insert on EMP_FOR EACH ROW", false},
                      ForEachRowCase{"T before insert on EMP FOREACH ROW", false},
                      ForEachRowCase{"T before insert on EMP FOR EACH ROWS", false},
                      ForEachRowCase{"FOR EACH ROW", false}));

TEST(StoredCodeHeader, CutsTheKeywordByCharacters) {
    EXPECT_EQ(storedCodeHeaderLine(StoredCodeKind::Procedure, "APP", "PROCEDURE P1(X NUMBER)"),
              "Create or replace Procedure APP. P1(X NUMBER)");
    EXPECT_EQ(storedCodeHeaderLine(StoredCodeKind::Function, "APP", "FUNCTION F1 RETURN NUMBER"),
              "Create or replace Function APP. F1 RETURN NUMBER");
    EXPECT_EQ(storedCodeHeaderLine(StoredCodeKind::Function, "app", "FONCTI\u00D3N F"),
              "Create or replace Function app. F");
    EXPECT_EQ(storedCodeHeaderLine(StoredCodeKind::Procedure, "APP", "PROC"), "Create or replace Procedure APP.");
    EXPECT_EQ(storedCodeHeaderLine(StoredCodeKind::Procedure, "MY USER", "PROCEDURE P"),
              "Create or replace Procedure \"MY USER\". P");
}

}  // namespace

namespace {

std::string run(std::size_t count, char c) { return std::string(count, c); }

struct FitCase {
    const char* name;
    std::string code;
    std::string expected;
    std::size_t keptTooLong;
};
void PrintTo(const FitCase& c, std::ostream* os) { *os << c.name; }

class SqlplusLines : public ::testing::TestWithParam<FitCase> {};

TEST_P(SqlplusLines, LongLinesBreakAtABlankOutsideQuotesAndComments) {
    const std::string fitted = fitLinesForSqlplus(GetParam().code);
    EXPECT_EQ(fitted, GetParam().expected);
    EXPECT_EQ(linesTooLongForSqlplus(fitted), GetParam().keptTooLong);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SqlplusLines,
    ::testing::Values(
        FitCase{"LimitItselfFits", run(2499, 'a') + "\nb c", run(2499, 'a') + "\nb c", 0},
        FitCase{"BrokenAtTheLastBlankThatFits", run(1200, 'a') + " " + run(1200, 'b') + " " + run(1200, 'c'),
                run(1200, 'a') + " " + run(1200, 'b') + "\n" + run(1200, 'c'), 0},
        FitCase{"BlankInQuotesIsNoBreak", "x '" + run(1500, 'a') + " " + run(1500, 'a') + "' y",
                "x\n'" + run(1500, 'a') + " " + run(1500, 'a') + "'\ny", 1},
        FitCase{"BlankInLineCommentIsNoBreak", "select " + run(2000, 'a') + " -- " + run(600, 'c'),
                "select " + run(2000, 'a') + "\n-- " + run(600, 'c'), 0},
        FitCase{"BlockCommentOverLinesIsNoBreak", "/*\n" + run(1500, 'a') + " " + run(1500, 'a') + " */ x",
                "/*\n" + run(1500, 'a') + " " + run(1500, 'a') + " */\nx", 1},
        FitCase{"WithoutBlankKept", run(3000, 'a'), run(3000, 'a'), 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
