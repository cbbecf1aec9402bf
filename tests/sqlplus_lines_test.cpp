// Stored code that sqlplus would read as the end of its statement, or as a
// command, travels as data; other code is written as before. Every case is
// replayed through the sqlplus stand-in: one statement runs, no command does,
// and a statement run as data decodes back to exactly the object's text.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "dictionary/catalog.h"
#include "output/code_statements.h"
#include "output/constraint_statements.h"
#include "output/saving_job.h"
#include "output/sqlplus_lines.h"
#include "tests/sqlplus_stand_in.h"

using namespace restorix;
using namespace restorix::test;

namespace {

// The value of a PL/SQL string expression of quoted pieces and CHR(n) calls
// joined by ||, as the literal splicer writes it.
std::string valueOfExpression(std::string_view expression) {
    std::string value;
    std::size_t at = 0;
    const auto skipBlanks = [&] {
        while (at < expression.size() && std::isspace(static_cast<unsigned char>(expression[at]))) ++at;
    };
    while (true) {
        skipBlanks();
        if (expression.substr(at).starts_with("'")) {
            for (++at; at < expression.size(); ++at) {
                if (expression[at] != '\'') {
                    value += expression[at];
                } else if (at + 1 < expression.size() && expression[at + 1] == '\'') {
                    value += '\'';
                    ++at;
                } else {
                    break;
                }
            }
            ++at;
        } else if (expression.substr(at).starts_with("CHR(")) {
            at += 4;
            const std::size_t close = expression.find(')', at);
            value += static_cast<char>(std::stoi(std::string(expression.substr(at, close - at))));
            at = close + 1;
        } else {
            ADD_FAILURE() << "unexpected at " << at << ": " << expression.substr(at, 40);
            return value;
        }
        skipBlanks();
        if (!expression.substr(at).starts_with("||")) return value;
        at += 2;
    }
}

// The text a statement run as data creates its object from; empty when the
// statement is no such block.
std::string textRunAsData(const std::string& statement) {
    constexpr std::string_view kImmediate = "BEGIN EXECUTE IMMEDIATE ";
    if (statement.starts_with(kImmediate)) {
        const std::size_t end = statement.rfind("; END;");
        return valueOfExpression(std::string_view(statement).substr(kImmediate.size(), end - kImmediate.size()));
    }
    if (!statement.starts_with("DECLARE")) return {};
    std::string text;
    for (std::size_t at = statement.find(" := '"); at != std::string::npos; at = statement.find(" := '", at)) {
        at += 4;
        const std::size_t end = statement.find(";\n", at);
        text += valueOfExpression(std::string_view(statement).substr(at, end - at));
    }
    return text;
}

struct CodeCase {
    const char* label;
    std::function<std::string()> scriptText;
    // The object's text as the block creates it; empty for the plain form.
    std::string asData;
};

void PrintTo(const CodeCase& c, std::ostream* os) { *os << c.label; }

std::string view(std::string_view text) { return viewScriptText("HR", "V", text).value(); }

std::string trigger(std::string body, std::optional<std::string> when = std::nullopt) {
    TriggerDefinition t;
    t.schemaName = "HR";
    t.triggerName = "T";
    t.triggerType = 0;
    t.insertEvent = true;
    t.target = TriggerDefinition::Target{"HR", "EMP"};
    t.whenClause = std::move(when);
    t.body = std::move(body);
    return triggerScriptText(t).value();
}

std::string procedure(std::vector<std::string> lines) {
    std::vector<SourceLineEntry> entries;
    for (std::size_t i = 0; i < lines.size(); ++i) entries.push_back({1, static_cast<std::int32_t>(i + 1), lines[i]});
    return storedCodeScriptText(StoredCodeKind::Procedure, "HR", entries);
}

std::string check(std::string condition) {
    const Catalog catalog;
    ConstraintDefEntry def;
    def.conType = kCheckConstraint;
    def.condition = std::move(condition);
    return constraintScriptTexts(catalog, "HR", "EMP", def).constraintText;
}

const std::string kHostLine = "host touch /tmp/x";
const std::string kLongText = "select '" + std::string(40000, 'x') + "' a\n/\n" + kHostLine + " from dual";

class RunAsData : public ::testing::TestWithParam<CodeCase> {};

TEST_P(RunAsData, RunsOneStatementAndNoCommand) {
    const CodeCase& c = GetParam();
    const std::string text = c.scriptText();
    const SqlplusReplay replay = replayLikeSqlplus(std::string(kSqlScriptHead) + text + "Exit;");
    EXPECT_TRUE(replay.forbidden.empty()) << replay.forbidden.front();
    EXPECT_TRUE(replay.abandoned.empty()) << replay.abandoned.front();
    EXPECT_FALSE(replay.endsInsideStatement);
    ASSERT_EQ(replay.statements.size(), 1u) << text;
    EXPECT_EQ(textRunAsData(replay.statements.front()), c.asData);
    for (std::size_t start = 0, end; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        EXPECT_LE(end - start, kSqlplusLineLimit) << "line at " << start;
    }
}

INSTANTIATE_TEST_SUITE_P(
    StoredCode, RunAsData,
    ::testing::Values(
        CodeCase{"an ordinary view", [] { return view("select a\nfrom t"); }, ""},
        CodeCase{"a view with a slash inside a line", [] { return view("select a / b\nfrom t"); }, ""},
        CodeCase{"a view with a slash line", [] { return view("select 1 a from dual\n/\n" + kHostLine); },
                 "Create or Replace View HR.V as select 1 a from dual\n/\n" + kHostLine},
        CodeCase{"a view with a blank-padded slash line", [] { return view("select 1 a\n  / \t\nfrom dual"); },
                 "Create or Replace View HR.V as select 1 a\n  / \t\nfrom dual"},
        CodeCase{"a view with a point line", [] { return view("select 1 a\n.\nhost rm -rf ~ from dual"); },
                 "Create or Replace View HR.V as select 1 a\n.\nhost rm -rf ~ from dual"},
        CodeCase{"a view with a # line", [] { return view("select 1 a\n#host id\nfrom dual"); },
                 "Create or Replace View HR.V as select 1 a\n#host id\nfrom dual"},
        CodeCase{"a view with a line ending in ; inside a literal",
                 [] { return view("select 'a;\n" + kHostLine + "' a from dual"); },
                 "Create or Replace View HR.V as select 'a;\n" + kHostLine + "' a from dual"},
        CodeCase{"a view whose blank lines, ampersand and CR travel as data",
                 [] { return view("select 'R&D' a\r\n\n/\nfrom dual"); },
                 "Create or Replace View HR.V as select 'R&D' a\r\n\n/\nfrom dual"},
        CodeCase{"a view longer than a PL/SQL literal", [] { return view(kLongText); },
                 "Create or Replace View HR.V as " + kLongText},
        CodeCase{"an ordinary trigger", [] { return trigger("begin\n  null;\nend;"); }, ""},
        CodeCase{"a trigger body with a slash line",
                 [] { return trigger("begin\n  null;\nend;\n/\n" + kHostLine + "\n"); },
                 "Create or Replace Trigger HR.T before insert on HR.EMP begin\n  null;\nend;\n/\n" + kHostLine +
                     "\n"},
        CodeCase{"a trigger WHEN clause with a # line",
                 [] { return trigger("begin null; end;", "new.a > 1\n#host id\n"); },
                 "Create or Replace Trigger HR.T before insert on HR.EMP WHEN (new.a > 1\n#host id\n) begin null; "
                 "end;"},
        CodeCase{"an ordinary procedure", [] { return procedure({"PROCEDURE P IS", "BEGIN", "  NULL;", "END;"}); },
                 ""},
        CodeCase{"a procedure source with a point line",
                 [] { return procedure({"PROCEDURE P IS\n", "BEGIN NULL; END;\n", ".\n", kHostLine}); },
                 "Create or replace Procedure HR. P IS\nBEGIN NULL; END;\n.\n" + kHostLine + "\n"},
        CodeCase{"an ordinary check", [] { return check("SAL > 0"); }, ""},
        CodeCase{"a check with a line ending in ;", [] { return check("A IN ('x;\n" + kHostLine + "')"); },
                 "ALTER TABLE HR.EMP ADD CHECK(A IN ('x;\n" + kHostLine + "'))"}),
    [](const ::testing::TestParamInfo<CodeCase>& info) {
        std::string name;
        for (const char c : std::string(info.param.label)) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

// The plain forms keep the bytes they always had.
TEST(RunAsData, OrdinaryCodeKeepsItsForm) {
    EXPECT_EQ(view("select a\nfrom t"), "Create or Replace View HR.V as select a\r\nfrom t;\r\n\r\n");
    EXPECT_EQ(check("SAL > 0"), "ALTER TABLE HR.EMP ADD CHECK(SAL > 0);\r\n\r\n");
    EXPECT_EQ(statementRunAsData("x'&\ny"), "BEGIN EXECUTE IMMEDIATE 'x'''||CHR(38)||''||CHR(10)||'y'; END;\r\n/\r\n\r\n");
}

}  // namespace
