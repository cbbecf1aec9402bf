// A datafile made to attack the one who replays its scripts: names with
// quotes, backticks, $(), ../, backslashes, shell characters, line breaks,
// escape sequences, CJK and umlauts, case twins and CON; views, a procedure,
// a function, triggers and checks whose text holds "/", "." and "#host" lines
// and a ";" line end inside a literal. `restorix recover` saves it, and every
// script of the output is replayed through the sqlplus stand-in: only
// SET SQLBLANKLINES ON and Exit; may run as commands, every statement ends
// where it should, and the report counts the names written changed.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/sqlplus_stand_in.h"
#include "tests/temp_folder.h"
#include "tools/forge/forge.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

class HostileReplay : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "out");
        std::ofstream(dir_ / "settings.ini") << "LogPath=" << dir_.string() << "\n";
    }

    // restorix recover of every schema with a report; its exit code.
    int recover() {
        const std::string command = "RESTORIX_SETTINGS='" + (dir_ / "settings.ini").string() + "' '" RESTORIX_BINARY_DIR
                                    "/restorix' recover '" + (dir_ / "SYSTEM01.DBF").string() +
                                    "' --schemas all --output '" + (dir_ / "out").string() + "' --report '" +
                                    (dir_ / "report.json").string() + "' >/dev/null 2>'" +
                                    (dir_ / "stderr.txt").string() + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    TempFolder folder_{"hostile_replay_"};
    const fs::path dir_ = folder_.path();
};

TEST_F(HostileReplay, EveryScriptRunsOnlySqlAndTheReportCountsTheChangedNames) {
    forge::WriteOptions options;
    options.characterSet = "AL32UTF8";
    forge::writeDatafile(forge::loadScenario(RESTORIX_SOURCE_DIR "/tests/fixtures/hostile.json"),
                         (dir_ / "SYSTEM01.DBF").string(), options);
    ASSERT_EQ(recover(), 0) << readFile(dir_ / "stderr.txt");

    int scripts = 0;
    long inserts = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir_ / "out")) {
        if (entry.path().extension() != ".sql") continue;
        ++scripts;
        const std::string where = entry.path().lexically_relative(dir_ / "out").string();
        const std::string script = readFile(entry.path());
        EXPECT_TRUE(script.starts_with("SET SQLBLANKLINES ON\r\n")) << where;
        const SqlplusReplay replay = replayLikeSqlplus(script);
        for (const std::string& command : replay.forbidden) ADD_FAILURE() << where << " runs " << command;
        for (const std::string& statement : replay.abandoned) ADD_FAILURE() << where << " abandons " << statement;
        EXPECT_FALSE(replay.endsInsideStatement) << where;
        EXPECT_FALSE(replay.commands.empty() || replay.commands.back() != "Exit;") << where << " does not end in Exit;";
        if (entry.path().parent_path().filename().string().ends_with("_data")) {
            // A data script: an insert and its commit for each row, nothing cut or joined.
            for (std::size_t i = 0; i < replay.statements.size(); ++i) {
                const std::string& statement = replay.statements[i];
                if (i % 2 == 1) {
                    EXPECT_EQ(statement, "Commit") << where;
                } else {
                    EXPECT_TRUE(statement.starts_with("insert into ") && statement.ends_with(" ) ")) << where << ": "
                                                                                                      << statement;
                    ++inserts;
                }
            }
        }
    }
    EXPECT_GT(scripts, 10);

    // One file for each of HR's eleven tables in each folder, even where
    // names map alike or differ only in case (one file on Windows), and each
    // listed once in Commit.bat.
    const fs::path root = fs::directory_iterator(dir_ / "out")->path();
    for (const char* folder : {"HR_create", "HR_data"}) {
        std::set<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(root / folder)) {
            std::string name = entry.path().filename().string();
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_TRUE(names.insert(name).second) << folder << ": " << name;
        }
        EXPECT_EQ(names.size(), 11u) << folder;
    }
    std::set<std::string> listed;
    std::istringstream commit(readFile(root / "Commit.bat"));
    for (std::string line; std::getline(commit, line);) {
        if (line.find(".sql") != std::string::npos) {
            EXPECT_TRUE(listed.insert(line).second) << line;
        }
    }

    const nlohmann::json report = nlohmann::json::parse(readFile(dir_ / "report.json"));
    EXPECT_EQ(inserts, report["totals"]["rowsWritten"].get<long>());
    long tableNamesChanged = 0;
    for (const nlohmann::json& table : report["tables"]) tableNamesChanged += table["namesChanged"].get<long>();
    // The table with line breaks in its name and two of its columns' names,
    // and the one with escape sequences in its name and its column's name.
    EXPECT_EQ(tableNamesChanged, 3 + 2);
    // Those, a schema, a view and a primary key.
    EXPECT_EQ(report["totals"]["namesChanged"].get<long>(), 5 + 3);
    // ABC after Abc gets a number, CON a "_": two tables whose scripts' names changed.
    EXPECT_EQ(report["totals"]["scriptNamesChanged"].get<long>(), 2);

    const std::string log = readFile(dir_ / "Activity Log.txt");
    EXPECT_NE(log.find("a schema name holds control characters (stored bytes 45 56 49 4C 0A 68 6F 73 74"),
              std::string::npos)
        << log;
}

}  // namespace
