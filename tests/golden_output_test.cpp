// The demo scenario's whole output folder, for every release and recovery
// option, against the expected folders kept under tests/golden/demo: the same
// set of files and folders, and the same bytes in every file. The three
// releases hold the same scenario, so each must give the one expected folder
// of its option.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "dictionary/analysis_job.h"
#include "platform/clock.h"
#include "output/output_root.h"
#include "output/saving_job.h"
#include "activitylog/log_lines.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/big_endian.h"
#include "tools/forge/multifile.h"
#include "tests/test_sinks.h"
#include "tests/temp_folder.h"

using namespace restorix;
using namespace restorix::test;
namespace fs = std::filesystem;

namespace {

// What Import.bat hands to Commit.bat when no Oracle installation was found.
constexpr const char* kNoOracleHomeBinFolder = "\\bin";

struct GoldenCase {
    int release;
    RecoveryOption option;
    const char* folder;  // tests/golden/<database>/<folder>
    const char* database = "demo";
    const char* scenario = "share/restorix/demo.json";  // from the source folder; empty: the multi-file database
    // The files as a big-endian platform writes them, which must give the
    // very output of their little-endian twins: with a dd copy's 4,096 bytes
    // before block 0, or without block 0's byte-order magic (before 10g).
    enum class Platform { Little, Big, BigAixLeader, BigWithoutMagic } platform = Platform::Little;
};

constexpr int kByteOrderMagicOffset = 28;

// The multi-file database's files, given in an order that puts the SYSTEM file between the others.
std::vector<std::string> forgeMultifileDatabase(const fs::path& folder, GoldenCase::Platform platform) {
    for (const forge::ForgedDatafile& file : forge::writeMultifileDatabase(folder.string()).files)
        if (platform != GoldenCase::Platform::Little)
            forge::rewriteBigEndian(file.path, {file.blockSize, platform == GoldenCase::Platform::BigAixLeader});
    return {(folder / "DATA01.DBF").string(), (folder / "SYSTEM01.DBF").string(), (folder / "USERS01.DBF").string()};
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Every entry below root by its relative path with "/" separators: a file
// with its bytes, a folder with none.
std::map<std::string, std::optional<std::string>> readTree(const fs::path& root) {
    std::map<std::string, std::optional<std::string>> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = entry.path().lexically_relative(root).generic_string();
        tree[relative] = entry.is_directory() ? std::nullopt : std::optional<std::string>(readBytes(entry.path()));
    }
    return tree;
}

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Shows CR and bytes outside printable ASCII, so a wrong line end or code
// page byte is visible in the failure message.
std::string visible(const std::string& line) {
    std::string out;
    for (unsigned char c : line) {
        if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c >= 0x7F) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The first line (split at LF, so CR stays part of the line) where two
// different file contents part.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    const std::vector<std::string> want = splitLines(expected);
    const std::vector<std::string> got = splitLines(actual);
    const std::size_t common = std::min(want.size(), got.size());
    std::size_t line = 0;
    while (line < common && want[line] == got[line]) ++line;
    std::ostringstream out;
    out << "first difference at line " << line + 1 << "\n  expected: "
        << (line < want.size() ? "\"" + visible(want[line]) + "\"" : "(end of file)")
        << "\n  actual:   " << (line < got.size() ? "\"" + visible(got[line]) + "\"" : "(end of file)");
    if (line == common && want.size() == got.size()) out << " (the files differ only in their final line end)";
    return out.str();
}

void expectSameTree(const fs::path& expectedRoot, const fs::path& actualRoot) {
    const auto expected = readTree(expectedRoot);
    const auto actual = readTree(actualRoot);
    ASSERT_FALSE(expected.empty()) << "no expected folder at " << expectedRoot;
    for (const auto& [path, bytes] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end()) {
            ADD_FAILURE() << path << ": missing from the output";
        } else if (bytes.has_value() != found->second.has_value()) {
            ADD_FAILURE() << path << ": a " << (bytes ? "file" : "folder") << " was expected";
        } else if (bytes && *bytes != *found->second) {
            ADD_FAILURE() << path << ": " << firstDifference(*bytes, *found->second);
        }
    }
    for (const auto& entry : actual)
        if (!expected.count(entry.first)) ADD_FAILURE() << entry.first << ": not expected in the output";
}

class GoldenOutput : public ::testing::TestWithParam<GoldenCase> {
protected:
    void SetUp() override { scratch_ = folder_.path(); }
    void TearDown() override { recovery_.database.datafiles.close(); }

    test::TempFolder folder_{"restorix-golden-"};
    fs::path scratch_;
    Recovery recovery_;
};

TEST_P(GoldenOutput, WritesTheExpectedFolderByteForByte) {
    const GoldenCase& golden = GetParam();
    const std::string source = std::string(RESTORIX_SOURCE_DIR);
    std::vector<std::string> datafiles{(scratch_ / "SYSTEM01.DBF").string()};
    if (*golden.scenario) {
        forge::writeDatafile(forge::loadScenario(source + "/" + golden.scenario), datafiles.front(),
                             {.release = golden.release});
        if (golden.platform != GoldenCase::Platform::Little)
            forge::rewriteBigEndian(datafiles.front(),
                                    {kBlockSize, golden.platform == GoldenCase::Platform::BigAixLeader});
        if (golden.platform == GoldenCase::Platform::BigWithoutMagic) {
            std::fstream file(datafiles.front(), std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(kByteOrderMagicOffset);
            file.write("\0\0\0\0", 4);
            ASSERT_TRUE(file.flush()) << datafiles.front();
        }
    } else {
        datafiles = forgeMultifileDatabase(scratch_, golden.platform);
    }

    ASSERT_FALSE(recovery_.database.datafiles.open(datafiles));
    recovery_.options = RecoveryOptions(golden.option);
    ProgressSink silent;
    RecordingMessages messages;
    ASSERT_EQ(runAnalysis(recovery_, silent, messages, kCaption), AnalysisResult::analysisCompleted);

    const FixedClock clock(makeLocalTime(2009, 3, 14, 9, 26, 53));
    const std::optional<fs::path> root = createOutputRoot(scratch_, "SYSTEM01", clock);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->filename().string(), "XTRecovered_SYSTEM01_09.26.53_03-14-09");

    SavingState state;
    state.progress = &silent;
    RecordingLog log;
    SavingJob saving(recovery_.analysed(), state, messages, log, clock,
                     SavingSetup{*root, kNoOracleHomeBinFolder, std::string(kCaption)});
    ASSERT_EQ(saving.run(), SavingResult::saveCompleted);
    EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
    RecordingLog completion;
    logSaveCompleted(completion, clock);
    EXPECT_EQ(log.text(), completion.text());

    expectSameTree(fs::path(source) / "tests" / "golden" / golden.database / golden.folder, *root);
}

std::string caseName(const ::testing::TestParamInfo<GoldenCase>& info) {
    static constexpr const char* kPlatforms[] = {"", "_big_endian", "_big_endian_aix_leader", "_big_endian_without_magic"};
    return std::string(info.param.folder) + "_release" + std::to_string(info.param.release) +
           kPlatforms[static_cast<int>(info.param.platform)];
}

INSTANTIATE_TEST_SUITE_P(
    Demo, GoldenOutput,
    ::testing::Values(GoldenCase{9, RecoveryOption::SysOnly, "sys"}, GoldenCase{10, RecoveryOption::SysOnly, "sys"},
                      GoldenCase{11, RecoveryOption::SysOnly, "sys"}, GoldenCase{9, RecoveryOption::AllButSys, "users"},
                      GoldenCase{10, RecoveryOption::AllButSys, "users"},
                      GoldenCase{11, RecoveryOption::AllButSys, "users"}, GoldenCase{9, RecoveryOption::All, "all"},
                      GoldenCase{10, RecoveryOption::All, "all"}, GoldenCase{11, RecoveryOption::All, "all"}),
    caseName);

// Rows in several pieces: migrated, chained, a text cut across two blocks,
// and two chains that lead nowhere (not written).
INSTANTIATE_TEST_SUITE_P(Chains, GoldenOutput,
                         ::testing::Values(GoldenCase{10, RecoveryOption::AllButSys, "users", "chains",
                                                      "tests/golden/chains/scenario.json"}),
                         caseName);

// A database of three datafiles: tables in USERS01 (8K, ASSM) and DATA01
// (16K, ASSM), one with blocks in both, a row chained from one into the other.
INSTANTIATE_TEST_SUITE_P(Multifile, GoldenOutput,
                         ::testing::Values(GoldenCase{10, RecoveryOption::AllButSys, "users", "multifile", ""}),
                         caseName);

// Big-endian twins of the databases above: the same golden folders.
INSTANTIATE_TEST_SUITE_P(
    BigEndian, GoldenOutput,
    ::testing::Values(
        GoldenCase{9, RecoveryOption::All, "all", "demo", "share/restorix/demo.json",
                   GoldenCase::Platform::BigWithoutMagic},
        GoldenCase{11, RecoveryOption::All, "all", "demo", "share/restorix/demo.json", GoldenCase::Platform::Big},
        GoldenCase{10, RecoveryOption::AllButSys, "users", "chains", "tests/golden/chains/scenario.json",
                   GoldenCase::Platform::Big},
        GoldenCase{10, RecoveryOption::AllButSys, "users", "multifile", "", GoldenCase::Platform::BigAixLeader}),
    caseName);

}  // namespace
