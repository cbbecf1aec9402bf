#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "activitylog/activity_log.h"
#include "activitylog/log_lines.h"

#include "tests/temp_folder.h"

using namespace restorix;
namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
class TempFolder {
public:
    fs::path sub(const std::string& name) const {
        fs::create_directories(folder_ / name);
        return folder_ / name;
    }
    const fs::path& path() const { return folder_.path(); }

private:
    test::TempFolder folder_{"restorix-activity-log-"};
};

std::string readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string repeated(std::string_view text, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) result += text;
    return result;
}

ActivityLog logWith(std::string logPath, std::string filePath) {
    return ActivityLog([=] { return LogSettings{logPath, filePath}; });
}

fs::path logIn(const fs::path& folder) { return folder / "Activity Log.txt"; }

// Keeps every appended text as it was given.
class RecordingLog : public LogSink {
public:
    bool appendLog(std::string_view text) override {
        texts.emplace_back(text);
        return true;
    }
    std::vector<std::string> texts;
};

const FixedClock kExampleClock(makeLocalTime(2026, 12, 6, 9, 5, 3));

}  // namespace

// ---- where the log goes ----

TEST(ActivityLogLocation, LogPathFolderWhenItExists) {
    TempFolder temp;
    const fs::path logs = temp.sub("logs"), install = temp.sub("install");
    ActivityLog log = logWith(logs.string(), install.string());
    ASSERT_TRUE(log.appendLog("line"));
    EXPECT_EQ(readBytes(logIn(logs)), "line");
    EXPECT_FALSE(fs::exists(logIn(install)));
}

TEST(ActivityLogLocation, MissingOrEmptyLogPathFallsBackToTheInstallationFolder) {
    TempFolder temp;
    const fs::path install = temp.sub("install");
    writeBytes(temp.path() / "a-file", "");
    for (const fs::path& unusable : {temp.path() / "no-such-folder", temp.path() / "a-file", fs::path()}) {
        ActivityLog log = logWith(unusable.string(), install.string());
        EXPECT_EQ(log.logFilePath(), logIn(install)) << unusable;
        ASSERT_TRUE(log.appendLog("x"));
    }
    EXPECT_EQ(readBytes(logIn(install)), "xxx");
    EXPECT_FALSE(fs::exists(temp.path() / "no-such-folder"));
}

TEST(ActivityLogLocation, NoSettingsUseTheStateFolderAndCreateIt) {
    TempFolder temp;
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::setenv("XDG_STATE_HOME", (temp.path() / "state").c_str(), 1);

    ActivityLog log = logWith("", "");
    const bool written = log.appendLog("first");
    const std::string content = readBytes(temp.path() / "state" / "restorix" / "Activity Log.txt");

    if (saved)
        ::setenv("XDG_STATE_HOME", saved->c_str(), 1);
    else
        ::unsetenv("XDG_STATE_HOME");
    EXPECT_TRUE(written);
    EXPECT_EQ(content, "first");
}

TEST(ActivityLogLocation, SettingsAreReadAgainForEveryAppend) {
    TempFolder temp;
    const fs::path first = temp.sub("first"), second = temp.sub("second");
    std::string current = first.string();
    ActivityLog log([&] { return LogSettings{current, ""}; });
    log.appendLog("a");
    current = second.string();
    log.appendLog("b");
    EXPECT_EQ(readBytes(logIn(first)), "a");
    EXPECT_EQ(readBytes(logIn(second)), "b");
}

TEST(ActivityLogLocation, UnwritableFolderReportsFailure) {
    TempFolder temp;
    ActivityLog log = logWith("", (temp.path() / "missing").string());
    EXPECT_FALSE(log.appendLog("lost"));
    EXPECT_FALSE(fs::exists(temp.path() / "missing"));
}

// ---- what an append does to the file ----

struct SizeCase {
    std::uintmax_t existingSize;
    bool keepsOldContent;
};
class ActivityLogSizeLimit : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ActivityLogSizeLimit, ResetsOnlyAFileLargerThanFiveMebibytes) {
    TempFolder temp;
    const std::string old(GetParam().existingSize, 'o');
    writeBytes(logIn(temp.path()), old);
    ActivityLog log = logWith(temp.path().string(), "");
    ASSERT_TRUE(log.appendLog("new text"));
    const std::string content = readBytes(logIn(temp.path()));
    if (GetParam().keepsOldContent)
        EXPECT_TRUE(content == old + "new text") << "size " << content.size();
    else
        EXPECT_EQ(content, "new text");
}

INSTANTIATE_TEST_SUITE_P(Table, ActivityLogSizeLimit,
                         ::testing::Values(SizeCase{5'242'879, true}, SizeCase{5'242'880, true},
                                           SizeCase{5'242'881, false}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                             return "existing_" + std::to_string(info.param.existingSize) + "_bytes";
                         });

TEST(ActivityLog, ReadOnlyLogIsMadeWritableAndAppended) {
    TempFolder temp;
    const fs::path file = logIn(temp.path());
    writeBytes(file, "old");
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    ActivityLog log = logWith(temp.path().string(), "");
    ASSERT_TRUE(log.appendLog("+new"));
    EXPECT_EQ(readBytes(file), "old+new");
    EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
}

struct TextCase {
    const char* what;
    std::string text;
    std::string bytes;
};
class ActivityLogText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ActivityLogText, WritesExactlyTheConvertedBytes) {
    TempFolder temp;
    ActivityLog log = logWith(temp.path().string(), "");
    ASSERT_TRUE(log.appendLog(GetParam().text));
    EXPECT_EQ(readBytes(logIn(temp.path())), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ActivityLogText,
    ::testing::Values(
        TextCase{"no line end is added", "plain", "plain"},
        TextCase{"macrons become byte AF", "\u00AF\u00AF\u00AF\u00AF\u00AF\u00AF", "\xAF\xAF\xAF\xAF\xAF\xAF"},
        TextCase{"accents in the code page", "Caf\u00E9 \u20AC", "Caf\xE9 \x80"},
        TextCase{"characters outside the code page", "a\u4E2Db", "a?b"},
        TextCase{"text ends at a zero", std::string("ab\0cd", 5), "ab"},
        TextCase{"199 bytes fit", std::string(199, 'x'), std::string(199, 'x')},
        TextCase{"a longer text keeps its first 199 bytes", std::string(199, 'x') + "yz", std::string(199, 'x')},
        TextCase{"the limit counts code-page bytes", std::string(100, 'a') + repeated("\u00E9", 100),
                 std::string(100, 'a') + std::string(99, '\xE9')}),
    [](const ::testing::TestParamInfo<TextCase>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(ActivityLog, SourcePathOf180CharactersIsLoggedInFull) {
    TempFolder temp;
    ActivityLog log = logWith(temp.path().string(), "");
    const std::string path180 = "/" + std::string(179, 'P');
    logAnalysisStart(log, kExampleClock, path180);
    const std::string content = readBytes(logIn(temp.path()));
    EXPECT_TRUE(content.ends_with("Dbf Source Path: " + path180 + "\r\n")) << content;

    // One character more no longer fits with its line end.
    const std::string path181 = path180 + "Q";
    logAnalysisStart(log, kExampleClock, path181);
    const std::string longer = readBytes(logIn(temp.path()));
    EXPECT_TRUE(longer.ends_with("Dbf Source Path: " + path181 + "\r")) << longer;
}

TEST(ActivityLog, ConcurrentAppendsLoseNoText) {
    TempFolder temp;
    ActivityLog log = logWith(temp.path().string(), "");
    constexpr int kThreads = 8, kTextsPerThread = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < kTextsPerThread; ++i)
                log.appendLog("thread " + std::to_string(t) + " text " + std::to_string(i) + "\n");
        });
    for (std::thread& thread : threads) thread.join();

    std::istringstream lines(readBytes(logIn(temp.path())));
    std::multiset<std::string> seen;
    for (std::string line; std::getline(lines, line);) seen.insert(line);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kTextsPerThread));
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kTextsPerThread; ++i)
            EXPECT_EQ(seen.count("thread " + std::to_string(t) + " text " + std::to_string(i)), 1u);
}

TEST(ActivityLog, ClearLogDeletesTheInstallationCopyAndStartsANewLog) {
    TempFolder temp;
    const fs::path install = temp.sub("install"), logs = temp.sub("logs");
    writeBytes(logIn(install), "old install copy");
    writeBytes(logIn(logs), "old log");
    ActivityLog log = logWith(logs.string(), install.string());
    EXPECT_TRUE(clearActivityLog(log, install.string()));
    EXPECT_FALSE(fs::exists(logIn(install)));
    EXPECT_EQ(readBytes(logIn(logs)), "old log\r\n");
    EXPECT_EQ(viewLogPath(install.string()), logIn(install));
}

// ---- the blocks of lines ----

TEST(LogLines, StartupHeaderByteForByte) {
    TempFolder temp;
    ActivityLog log = logWith(temp.path().string(), "");
    logStartupHeader(log, kExampleClock, "Version 2.0.0");
    EXPECT_EQ(readBytes(logIn(temp.path())),
              "\r\n\r\n*************************Restorix For Oracle Database************************\r\n\r\n"
              "Version 2.0.0\r\nDate    6\\12\\2026\r\nTime    9:5:3\r\n");
}

struct BlockCase {
    const char* what;
    std::function<void(LogSink&)> write;
    std::vector<std::string> appends;
};
class LogLineBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(LogLineBlocks, OneAppendPerText) {
    RecordingLog log;
    GetParam().write(log);
    EXPECT_EQ(log.texts, GetParam().appends);
}

const std::string kMacrons = "\u00AF\u00AF\u00AF\u00AF\u00AF\u00AF";

INSTANTIATE_TEST_SUITE_P(
    Table, LogLineBlocks,
    ::testing::Values(
        BlockCase{"startup_header", [](LogSink& l) { logStartupHeader(l, kExampleClock, "V"); },
                  {"\r\n", "\r\n", "*************************Restorix For Oracle Database************************",
                   "\r\n", "\r\n", "V", "\r\n", "Date", "    ", "6\\12\\2026", "\r\n", "Time", "    ", "9:5:3",
                   "\r\n"}},
        BlockCase{"selected_file_missing", [](LogSink& l) { logSelectedFileMissing(l); },
                  {"\r\n", "****Seleted File Does not exist*******"}},
        BlockCase{"analysis_start", [](LogSink& l) { logAnalysisStart(l, kExampleClock, "/D/S.DBF"); },
                  {"\r\n", "STEP 1::", "\r\n", kMacrons, "\r\n", "Analysis of DataBase starts at time 09:05:03",
                   "\r\n", "Dbf Source Path: /D/S.DBF\r\n"}},
        BlockCase{"analysis_completed", [](LogSink& l) { logAnalysisCompleted(l, kExampleClock); },
                  {"\r\n", "STEP 2::", "\r\n", kMacrons, "\r\n", "\r\n",
                   "Analysis of DataBase Completed at time 09:05:03"}},
        BlockCase{"analysis_paused", [](LogSink& l) { logAnalysisPaused(l, kExampleClock); },
                  {"\r\n", "Database Analysis stop at time09:05:03"}},
        BlockCase{"analysis_resumed", [](LogSink& l) { logAnalysisResumed(l, kExampleClock); },
                  {"\r\n", "Database Analysis Resume at time 09:05:03"}},
        BlockCase{"analysis_stopped", [](LogSink& l) { logAnalysisStopped(l, kExampleClock); },
                  {"\r\n", "***************Database Analysis aborted when analysing Database**************", "\r\n",
                   "***************Database Analysis aborted when analysing Database at time 09:05:03 *********"}},
        BlockCase{"analysis_stop_declined", [](LogSink& l) { logAnalysisStopDeclined(l, kExampleClock); },
                  {"\r\n",
                   "***************Database Analysis Resume when analysing Database at time 09:05:03 *********"}},
        BlockCase{"analysis_closed", [](LogSink& l) { logAnalysisClosed(l, kExampleClock); },
                  {"\r\n",
                   "***************Database Analysis aborted when analysing Database at time 09:05:03 *********"}},
        BlockCase{"saving_started", [](LogSink& l) { logSavingStarted(l); },
                  {"\r\n", "\r\n", "/************** Step:2 Saving process started ***********/", "\r\n", "\r\n"}},
        BlockCase{"saving_stopped", [](LogSink& l) { logSavingStopped(l); },
                  {"\r\n", "\r\n",
                   "************************* Step 2 Saving aborted by User ***********************************"}},
        BlockCase{"repairing_aborted", [](LogSink& l) { logRepairingAborted(l); },
                  {"\r\n", "\r\n", "******************* Repairing aborted***********************************"}},
        BlockCase{"save_completed", [](LogSink& l) { logSaveCompleted(l, kExampleClock); },
                  {"\r\n", "\r\n", "Process Completed successfully at time 09:05:03", "\r\n"}},
        BlockCase{"save_aborted", [](LogSink& l) { logSaveAborted(l, kExampleClock); },
                  {"\r\n", "\r\n", "Process Aborted by User at time 09:05:03", "\r\n"}}),
    [](const ::testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.what); });
