#include <gtest/gtest.h>

#include <vector>

#include "output/batch_files.h"

using namespace restorix;

namespace {

// Splits on CR LF; a text ending in CR LF gives a last empty piece.
std::vector<std::string> crLfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, pos - start));
        start = pos + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

std::string echoRule(char c, std::size_t count, std::size_t indent = 1) {
    return "echo" + std::string(indent, ' ') + std::string(count, c);
}

TEST(ImportBat, HoldsSixtyOneLinesEachEndedByCrLf) {
    const std::string text = importBatText("C:\\oracle\\bin");
    const std::vector<std::string> lines = crLfLines(text);
    ASSERT_EQ(lines.size(), 62u);  // 61 lines and the empty rest after the last CR LF
    EXPECT_EQ(lines[61], "");
    EXPECT_EQ(lines[60], "");
    for (const std::string& line : lines) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
}

TEST(ImportBat, MatchesTheExpectedFileByteForByte) {
    const std::string stars = echoRule('*', 41);
    const std::vector<std::string> expected = {
        "echo OFF", "", "echo:", "", stars, "",
        "echo" + std::string(7, ' ') + "*Steps to import data*" + std::string(13, ' '), "", stars, "",
        "echo:", "", "echo 1.Oracle User Name. For eg.", "", echoRule('-', 16, 3), "", "echo \"System\"", "",
        "echo:", "", "echo 2.Oracle Password. For eg.", "", echoRule('-', 15, 3), "",
        "echo \"" + std::string(8, '*') + "\"", "", "", "echo:", "echo 3.Oracle Server Name. For eg.", "",
        echoRule('-', 18, 3), "", "echo \"Start-AllPrograms-Oracle-OracleDatabaseControlServerName\"", "",
        "echo:", "", stars, "", "echo:", "", stars, "", "echo:", "", "echo Enter Oracle UserName",
        echoRule('-', 21), "set/p Enter Oracle UserName=", "echo:", "", "echo Enter Oracle Password",
        echoRule('-', 21), "set/p Enter Oracle Password=", "echo:", "", "echo Enter Oracle ServerName",
        echoRule('-', 23), "set/p Enter Oracle ServerName=", "echo:", "",
        "Commit C:\\ora\\bin %Enter Oracle UserName% %Enter Oracle Password% %Enter Oracle ServerName%", ""};
    ASSERT_EQ(expected.size(), 61u);
    std::string file;
    for (const std::string& line : expected) file += line + "\r\n";
    EXPECT_EQ(importBatText("C:\\ora\\bin"), file);

    const std::vector<std::string> lines = crLfLines(importBatText("C:\\ora\\bin"));
    EXPECT_EQ(lines[6].size(), 46u);
    EXPECT_EQ(lines[16].size(), 13u);
    EXPECT_EQ(lines[24].size(), 15u);
    EXPECT_EQ(lines[32].size(), 63u);
}

TEST(ImportBat, WithoutAnOracleFolderTheCommitLineHasTwoBlanks) {
    const std::vector<std::string> lines = crLfLines(importBatText(""));
    EXPECT_EQ(lines[59], "Commit  %Enter Oracle UserName% %Enter Oracle Password% %Enter Oracle ServerName%");
}

TEST(UsersScript, WritesThreeStatementsAndThreeEmptyLinesPerSchema) {
    EXPECT_EQ(usersScriptBlock("hr"),
              "CREATE USER hr IDENTIFIED BY RCVRPWD DEFAULT TABLESPACE \"SYSTEM\";\r\n"
              "GRANT UNLIMITED TABLESPACE TO hr WITH ADMIN OPTION;\r\n"
              "GRANT CONNECT,DBA,RESOURCE TO hr WITH ADMIN OPTION;\r\n\r\n\r\n\r\n");
}

TEST(UsersScript, QuotesNamesThatAreNoPlainIdentifier) {
    const std::string block = usersScriptBlock("MY USER");
    EXPECT_EQ(block.find("CREATE USER \"MY USER\" IDENTIFIED BY"), 0u);
    EXPECT_NE(block.find("TABLESPACE TO \"MY USER\" WITH"), std::string::npos);
    EXPECT_NE(block.find("RESOURCE TO \"MY USER\" WITH"), std::string::npos);
    EXPECT_EQ(usersScriptBlock("USER").find("CREATE USER \"USER\" "), 0u);
}

// A line break would split the quoted name over two script lines.
TEST(UsersScript, LineFeedsInNamesBecomeUnderscoresAndOthersCrLf) {
    EXPECT_EQ(usersScriptBlock("A\nB").find("CREATE USER \"A_B\" "), 0u);
    EXPECT_EQ(withCrLf("a\nb\n"), "a\r\nb\r\n");
}

TEST(CommitBat, HeaderIsThreeEchoLinesWithoutFinalLineEnd) {
    const std::vector<std::string> lines = crLfLines(commitBatHeader());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "@echo Restorix for Oracle ");
    EXPECT_EQ(lines[1].rfind("@echo ", 0), 0u);
    EXPECT_GT(lines[1].size(), 6u);
    EXPECT_EQ(lines[2], "@echo Recovered database processing script.");
}

struct CharacterSetCase {
    const char* characterSet;
    const char* fourthLine;  // nullptr: no fourth line
};

class CommitBatCharacterSet : public ::testing::TestWithParam<CharacterSetCase> {};

TEST_P(CommitBatCharacterSet, FourthLineSetsTheClientCharacterSet) {
    const std::vector<std::string> lines = crLfLines(commitBatHeader(GetParam().characterSet));
    ASSERT_EQ(lines.size(), GetParam().fourthLine ? 4u : 3u);
    EXPECT_EQ(lines[2], "@echo Recovered database processing script.");
    if (GetParam().fourthLine) {
        EXPECT_EQ(lines[3], GetParam().fourthLine);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, CommitBatCharacterSet,
                         ::testing::Values(CharacterSetCase{"AL32UTF8", "set NLS_LANG=.AL32UTF8"},
                                           CharacterSetCase{"WE8MSWIN1252", "set NLS_LANG=.WE8MSWIN1252"},
                                           CharacterSetCase{"", nullptr},
                                           CharacterSetCase{"AL32UTF8 & del *", nullptr}));

TEST(CommitBat, ReplayLinesStartSqlplusWithTheFourArguments) {
    EXPECT_EQ(replayLine(kUsersScriptPath), " %1\\sqlplus.exe %2/%3@%4 @ Users\\Users.sql");
    EXPECT_EQ(commitBatLines(tableScriptReplay("HR_create\\EMP.sql")),
              "\r\n %1\\sqlplus.exe %2/%3@%4 @ HR_create\\EMP.sql");
}

TEST(CommitBat, PiecesComposeTheFileInScriptOrder) {
    const std::string prefix(kSqlplusPrefix);
    const std::string file = commitBatHeader() + commitBatLines(usersReplay()) +
                             commitBatLines(tableScriptReplay("HR_create\\EMP.sql")) +
                             commitBatLines(tableScriptReplay("HR_data\\EMPData.sql")) +
                             commitBatLines(indexReplay()) + commitBatLines(constraintsReplay()) +
                             commitBatLines(codeScriptsReplay());
    const std::vector<std::string> expectedAfterHeader = {
        prefix + "Users\\Users.sql",
        "",
        prefix + "HR_create\\EMP.sql",
        prefix + "HR_data\\EMPData.sql",
        "",
        prefix + "Index\\Index.sql",
        "",
        "",
        prefix + "Constraints\\Constraints.sql",
        "",
        prefix + "Triggers\\Triggers.sql",
        prefix + "Views\\Views.sql",
        "",
        prefix + "Procedures\\Procedures.sql",
        "",  // the file ends with CR LF
    };
    const std::vector<std::string> lines = crLfLines(file);
    ASSERT_EQ(lines.size(), 3 + expectedAfterHeader.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), expectedAfterHeader);
}

}  // namespace
