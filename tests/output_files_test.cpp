// The output folder's file helpers, the output root's name and the Oracle
// client's bin folder.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "output/oracle_client.h"
#include "output/output_files.h"
#include "output/output_root.h"
#include "output/shell_files.h"
#include "tests/temp_folder.h"

using namespace restorix;
namespace fs = std::filesystem;
using restorix::test::readFile;

namespace {

class OutputFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = scratch_.path();
    }
    test::TempFolder scratch_{"restorix-output-files-"};
    fs::path dir_;
};

TEST_F(OutputFilesTest, CommitLinesAreAppendedAsGivenInTheCodePage) {
    appendCommitLine(dir_, "@echo caf\u00e9 \u20ac");
    appendCommitLine(dir_, "\r\n");
    appendCommitLine(dir_, "\u4e2d");  // not in the code page
    EXPECT_EQ(readFile(dir_ / "Commit.bat"), "@echo caf\xe9 \x80\r\n?");
}

TEST_F(OutputFilesTest, ScriptFilesAreTruncatedOnCreateAndNeverCreatedByAnAppend) {
    const fs::path script = dir_ / "a.sql";
    createScriptFile(script);
    appendScriptText(script, "one\r\n");
    appendScriptText(script, "two");
    EXPECT_EQ(readFile(script), "one\r\ntwo");
    createScriptFile(script);
    EXPECT_EQ(readFile(script), "");
}

TEST_F(OutputFilesTest, NothingIsWrittenAfterAStop) {
    JobControl control;
    ScriptOutput output(dir_, control);
    output.startReplay("");
    control.requestStop();
    EXPECT_THROW(output.replay(usersReplay()), SavingStopped);
    EXPECT_THROW(output.createScript(dir_ / "c.sql"), SavingStopped);
    EXPECT_THROW(output.createFolder(dir_ / "Folder"), SavingStopped);
    EXPECT_EQ(readFile(dir_ / "Commit.bat"), commitBatHeader());
    EXPECT_EQ(readFile(dir_ / "commit.sh"), commitShHeader());
    EXPECT_FALSE(fs::exists(dir_ / "c.sql"));
    EXPECT_FALSE(fs::exists(dir_ / "Folder"));
}

// Every create and write that the system refuses raises, naming the file and
// the system's reason; nothing is skipped in silence.
struct WriteFailureCase {
    const char* what;
    std::function<void(ScriptOutput&, const fs::path& dir)> write;
    std::string failingFile;  // relative to the folder
    std::string reason;
};

void PrintTo(const WriteFailureCase& c, std::ostream* os) { *os << c.what; }

class WriteFailure : public OutputFilesTest, public ::testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailure, RaisesWithTheFileAndTheSystemsReason) {
    JobControl control;
    ScriptOutput output(dir_, control);
    const WriteFailureCase& c = GetParam();
    try {
        c.write(output, dir_);
        FAIL() << "no failure raised";
    } catch (const OutputFileError& error) {
        EXPECT_EQ(error.path(), dir_ / c.failingFile);
        EXPECT_EQ(std::string(error.what()), (dir_ / c.failingFile).string() + ": " + c.reason);
    }
}

const std::string kLongName(300, 'n');

INSTANTIATE_TEST_SUITE_P(
    Table, WriteFailure,
    ::testing::Values(
        WriteFailureCase{"create_in_a_missing_folder",
                         [](ScriptOutput& out, const fs::path& dir) { out.createScript(dir / "missing" / "x.sql"); },
                         "missing/x.sql", std::strerror(ENOENT)},
        WriteFailureCase{"append_never_creates",
                         [](ScriptOutput& out, const fs::path& dir) { out.append(dir / "gone.sql", "x"); }, "gone.sql",
                         std::strerror(ENOENT)},
        WriteFailureCase{"full_disk_on_append",
                         [](ScriptOutput& out, const fs::path& dir) {
                             fs::create_symlink("/dev/full", dir / "full.sql");
                             out.append(dir / "full.sql", "insert");
                         },
                         "full.sql", std::strerror(ENOSPC)},
        WriteFailureCase{"full_disk_on_a_data_script",
                         [](ScriptOutput& out, const fs::path& dir) {
                             fs::create_symlink("/dev/full", dir / "data.sql");
                             out.appendCreating(dir / "data.sql", "Exit;");
                         },
                         "data.sql", std::strerror(ENOSPC)},
        WriteFailureCase{"full_disk_on_commit_bat",
                         [](ScriptOutput& out, const fs::path& dir) {
                             fs::create_symlink("/dev/full", dir / "Commit.bat");
                             out.startReplay("");
                         },
                         "Commit.bat", std::strerror(ENOSPC)},
        WriteFailureCase{"full_disk_on_commit_sh",
                         [](ScriptOutput& out, const fs::path& dir) {
                             fs::create_symlink("/dev/full", dir / "commit.sh");
                             out.startReplay("");
                         },
                         "commit.sh", std::strerror(ENOSPC)},
        // CR LF and the 27 bytes of " %1\sqlplus.exe %2/%3@%4 @ " come before the path.
        WriteFailureCase{"commit_line_too_long",
                         [](ScriptOutput& out, const fs::path&) {
                             out.startReplay("");
                             out.replay(tableScriptReplay(std::string(171, 'a')));
                             out.replay(tableScriptReplay(std::string(172, 'b')));
                         },
                         "Commit.bat",
                         "a line of 201 bytes is longer than the 200 a line may have (a shorter output folder path "
                         "helps)"},
        WriteFailureCase{"file_name_too_long",
                         [](ScriptOutput& out, const fs::path& dir) { out.createScript(dir / kLongName); },
                         kLongName,
                         std::strerror(ENAMETOOLONG)},
        WriteFailureCase{"folder_where_a_file_is",
                         [](ScriptOutput& out, const fs::path& dir) {
                             std::ofstream(dir / "Users") << "in the way";
                             out.createFolder(dir / "Users");
                         },
                         "Users", std::strerror(EEXIST)}),
    [](const auto& info) { return std::string(info.param.what); });

// A file-size limit shows as a failed write, not as a signal that ends the process.
TEST_F(OutputFilesTest, AFileSizeLimitIsAFailedWrite) {
    const fs::path script = dir_ / "big.sql";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        JobControl control;
        ScriptOutput output(dir_, control);
        try {
            output.createScript(script);
            output.append(script, std::string(150, 'x'));
        } catch (const OutputFileError& error) {
            _exit(std::string(error.what()) == script.string() + ": " + std::strerror(EFBIG) ? 0 : 2);
        }
        _exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(OutputPath, BackslashesBecomeThisSystemsFolders) {
    EXPECT_EQ(outputPath("/out", "Users\\Users.sql"), fs::path("/out/Users/Users.sql"));
    EXPECT_EQ(outputPath("/out", "HR_data\\A_BData.sql"), fs::path("/out/HR_data/A_BData.sql"));
    EXPECT_EQ(outputPath("/out", "Commit.bat"), fs::path("/out/Commit.bat"));
}

// --- Output root -------------------------------------------------------------

TEST(OutputRootName, TitleTimeAndDate) {
    const std::tm moment = makeLocalTime(2026, 6, 12, 14, 5, 9);
    EXPECT_EQ(outputRootName("SYSTEM01", moment), "XTRecovered_SYSTEM01_14.05.09_06-12-26");
    EXPECT_EQ(outputRootName("../sys tem", moment), "XTRecovered_.._sys_tem_14.05.09_06-12-26");
}

// Each reading of the clock is one second later than the one before.
class SteppingClock : public Clock {
public:
    std::tm now() const override { return makeLocalTime(2026, 6, 12, 14, 5, 9 + readings_++); }
    mutable int readings_ = 0;
};

TEST_F(OutputFilesTest, ASecondSaveWithinTheSameSecondTakesTheNextSecondsName) {
    FixedClock fixed(makeLocalTime(2026, 6, 12, 14, 5, 9));
    const std::optional<fs::path> first = createOutputRoot(dir_, "SYSTEM01", fixed, [] {});
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, dir_ / "XTRecovered_SYSTEM01_14.05.09_06-12-26");
    EXPECT_TRUE(fs::is_directory(*first));

    SteppingClock stepping;
    int waits = 0;
    const std::optional<fs::path> second = createOutputRoot(dir_, "SYSTEM01", stepping, [&] { ++waits; });
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, dir_ / "XTRecovered_SYSTEM01_14.05.10_06-12-26");
    EXPECT_EQ(waits, 1);

    // A clock that never moves on gives up rather than wait for ever.
    EXPECT_FALSE(createOutputRoot(dir_, "SYSTEM01", fixed, [] {}).has_value());
}

TEST_F(OutputFilesTest, TheSavingPathMustBeAnExistingFolder) {
    EXPECT_TRUE(savingPathExists(dir_));
    EXPECT_FALSE(savingPathExists(dir_ / "missing"));
    EXPECT_FALSE(savingPathExists(""));
    std::ofstream(dir_ / "file") << "x";
    EXPECT_FALSE(savingPathExists(dir_ / "file"));
}

// --- Oracle client -------------------------------------------------------------

struct OratabCase {
    const char* what;
    const char* text;
    std::optional<std::string> home;
};

class Oratab : public ::testing::TestWithParam<OratabCase> {};

TEST_P(Oratab, FirstHome) {
    std::istringstream in(GetParam().text);
    EXPECT_EQ(firstOratabHome(in), GetParam().home);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Oratab,
    ::testing::Values(OratabCase{"plain", "orcl:/u01/app/oracle/product/10.2.0:N\n", "/u01/app/oracle/product/10.2.0"},
                      OratabCase{"comments_and_blank_lines_first",
                                 "# This file is used by ORACLE utilities.\n\n   \n#orcl:/old:N\nprod:/opt/ora11:Y\n",
                                 "/opt/ora11"},
                      OratabCase{"first_of_two", "a:/first:N\nb:/second:Y\n", "/first"},
                      OratabCase{"crlf_and_no_flag", "xe:/opt/xe\r\n", "/opt/xe"},
                      OratabCase{"entry_without_home_passed_over", "bad\nempty::N\nok:/ok:N\n", "/ok"},
                      OratabCase{"none", "# nothing here\n", std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(OracleHome, OptionThenEnvironmentThenOratab) {
    const test::TempFolder scratch("restorix-oratab-");
    const fs::path oratab = scratch / "oratab";
    std::ofstream(oratab) << "orcl:/from/oratab:N\n";
    EXPECT_EQ(findOracleHome(std::string("C:\\oracle"), "/from/env", oratab), "C:\\oracle");
    EXPECT_EQ(findOracleHome(std::nullopt, "/from/env", oratab), "/from/env");
    EXPECT_EQ(findOracleHome(std::nullopt, "", oratab), "/from/oratab");
    EXPECT_EQ(findOracleHome(std::nullopt, nullptr, oratab), "/from/oratab");
    EXPECT_EQ(findOracleHome(std::nullopt, nullptr, oratab.string() + ".missing"), std::nullopt);

    EXPECT_EQ(oracleBinFolder(std::string("/u01/app/oracle")), "/u01/app/oracle\\bin");
    EXPECT_EQ(oracleBinFolder(std::nullopt), "\\bin");
}

}  // namespace
