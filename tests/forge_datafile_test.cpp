// The forge's files as a whole: header blocks, the release text, every block
// readable through the block layout, padding and the bulk table.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "tools/forge/bench_scenarios.h"
#include "tools/forge/dictionary_objects.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "tools/forge/table_rows.h"
#include "tools/forge/forge_plan.h"
#include "tests/temp_folder.h"

namespace fs = std::filesystem;
using namespace restorix;
using namespace restorix::forge;

namespace {

class ForgedFile : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = scratch_.path();
    }

    std::string forge(const Scenario& scenario, const WriteOptions& options, WriteSummary* summary = nullptr) {
        const std::string path = (folder_ / "SYSTEM01.DBF").string();
        const WriteSummary s = writeDatafile(scenario, path, options);
        if (summary) *summary = s;
        return path;
    }

    static std::vector<std::uint8_t> bytesOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    restorix::test::TempFolder scratch_{"restorix-forge-files-"};
    fs::path folder_;
};

Scenario demo() { return loadScenario(std::string(RESTORIX_SOURCE_DIR) + "/share/restorix/demo.json"); }

// The release text as the version search reads it: the first "NLS_RDBMS_VERSION"
// met chunk by chunk, the length byte after it, then that many bytes.
struct VersionHit {
    std::string text;
    std::int64_t block = -1;
    int occurrences = 0;
};
VersionHit findVersion(const std::vector<std::uint8_t>& file) {
    static const std::string kKey = "NLS_RDBMS_VERSION";
    VersionHit hit;
    for (std::size_t start = 0; start < file.size(); start += kBlockSize) {
        const std::size_t end = std::min(file.size(), start + kBlockSize);
        for (std::size_t i = start; i + kKey.size() <= end; ++i) {
            if (!std::equal(kKey.begin(), kKey.end(), file.begin() + static_cast<std::ptrdiff_t>(i))) continue;
            ++hit.occurrences;
            if (hit.block >= 0 || i + kKey.size() >= end) continue;
            const std::size_t length = file[i + kKey.size()];
            const std::size_t text = i + kKey.size() + 1;
            if (text + length > end) continue;
            hit.text.assign(file.begin() + static_cast<std::ptrdiff_t>(text),
                            file.begin() + static_cast<std::ptrdiff_t>(text + length));
            hit.block = static_cast<std::int64_t>(start / kBlockSize);
        }
    }
    return hit;
}

class ForgeHeaderBlockSize : public ForgedFile, public ::testing::WithParamInterface<int> {};

struct ForgeVersionCase {
    int release;
    std::optional<std::string> text;
    std::string expected;
};
class ForgeVersionText : public ForgedFile, public ::testing::WithParamInterface<ForgeVersionCase> {};

class ForgeEveryRelease : public ForgedFile, public ::testing::WithParamInterface<int> {};

}  // namespace

TEST_P(ForgeHeaderBlockSize, SitsAtOffset20OfTheFileAndTheHeaderBlocksAreNoDataBlocks) {
    const auto file = bytesOf(forge(builtinScenario(), {.headerBlockSize = GetParam()}));
    ASSERT_GE(file.size(), 2u * kBlockSize);
    EXPECT_EQ(file.size() % kBlockSize, 0u);
    EXPECT_EQ(readU16LE(file.data() + 20), GetParam());
    EXPECT_NE(file[0], kDataBlockType);
    EXPECT_NE(file[kBlockSize], kDataBlockType);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ForgeHeaderBlockSize, ::testing::Values(4096, 8192, 16384));

TEST_P(ForgeVersionText, IsFoundOnceEarlyInTheFileWithItsLengthByte) {
    const ForgeVersionCase& c = GetParam();
    const VersionHit hit = findVersion(bytesOf(forge(demo(), {.release = c.release, .releaseText = c.text})));
    EXPECT_EQ(hit.text, c.expected);
    EXPECT_EQ(hit.occurrences, 1);
    EXPECT_GE(hit.block, 2);
    EXPECT_LT(hit.block, 6);
}

INSTANTIATE_TEST_SUITE_P(Releases, ForgeVersionText,
                         ::testing::Values(ForgeVersionCase{9, std::nullopt, "9.2.0.1.0"},
                                           ForgeVersionCase{10, std::nullopt, "10.2.0.1.0"},
                                           ForgeVersionCase{11, std::nullopt, "11.1.0.6.0"},
                                           ForgeVersionCase{10, "8.1.7.0.0", "8.1.7.0.0"},
                                           ForgeVersionCase{11, "9", "9"}));

// Every data block's header, directory and row pieces stay inside the block,
// every piece has a row form the layout knows, and the file looks lived-in:
// free and empty directory entries, two and three ITL entries, segments
// whose blocks are not all adjacent.
TEST_P(ForgeEveryRelease, EveryDataBlockReadsBackThroughTheBlockLayout) {
    WriteSummary summary;
    const std::string path = forge(demo(), {.release = GetParam()}, &summary);
    const FileRows rows = readFileRows(path);

    std::int64_t summaryBlocks = 0;
    for (const auto& [object, blocks] : summary.segmentBlocks) summaryBlocks += static_cast<std::int64_t>(blocks.size());
    EXPECT_EQ(rows.dataBlocks, summaryBlocks);
    for (const FileRowPiece& piece : rows.pieces) {
        EXPECT_NE(piece.headerLength, 0) << "block " << piece.block << " slot " << piece.slot;
        EXPECT_LT(piece.offset, kBlockSize);
    }
    EXPECT_GT(rows.emptySlots, 0);
    EXPECT_GT(rows.freeSlotLinks, 0);
    EXPECT_TRUE(std::count(rows.itlCounts.begin(), rows.itlCounts.end(), 2) > 0);
    EXPECT_TRUE(std::count(rows.itlCounts.begin(), rows.itlCounts.end(), 3) > 0);

    bool interleaved = false;
    for (const auto& [object, blocks] : summary.segmentBlocks)
        for (std::size_t i = 1; i < blocks.size(); ++i) interleaved |= blocks[i] > blocks[i - 1] + 1;
    EXPECT_TRUE(interleaved);
}

INSTANTIATE_TEST_SUITE_P(Releases, ForgeEveryRelease, ::testing::Values(9, 10, 11));

TEST_F(ForgedFile, PaddingReachesTheExactSizeWithFillerSegmentsOfTheirOwn) {
    const std::uint64_t size = (3u << 20) + 1000;  // ends in a partial block
    WriteSummary summary;
    const std::string path = forge(builtinScenario(), {.fileSize = size}, &summary);
    EXPECT_EQ(fs::file_size(path), size);
    EXPECT_EQ(summary.fileSize, size);

    const FileRows rows = readFileRows(path);
    std::set<std::int32_t> forged;
    for (const auto& [object, blocks] : summary.segmentBlocks) forged.insert(object);
    std::map<std::int32_t, int> fillerBlocks;
    std::set<std::pair<std::int64_t, std::int32_t>> seen;
    for (const FileRowPiece& piece : rows.pieces)
        if (!forged.count(piece.dataObject) && seen.insert({piece.block, piece.dataObject}).second)
            ++fillerBlocks[piece.dataObject];
    EXPECT_GT(fillerBlocks.size(), 1u);
    for (const auto& [object, count] : fillerBlocks) EXPECT_FALSE(isReservedDataObject(object)) << object;
    EXPECT_LT(rows.dataBlocks, static_cast<std::int64_t>(size / kBlockSize)) << "some blocks are left unformatted";
}

TEST_F(ForgedFile, ASizeBelowTheScenarioIsRefused) {
    EXPECT_THROW(forge(builtinScenario(), {.fileSize = 4 * kBlockSize}), std::invalid_argument);
}

TEST_F(ForgedFile, BulkTableFillsTheFileWithUniqueIds) {
    Scenario scenario = builtinScenario();
    WriteOptions options{.release = 11, .fileSize = 1u << 20};
    options.bulkTable = addBenchTable(scenario);
    WriteSummary summary;
    const std::string path = forge(scenario, options, &summary);
    EXPECT_EQ(fs::file_size(path), options.fileSize);
    EXPECT_GT(summary.bulkBlocks, 60);

    const std::int32_t bigTable = planScenario(scenario).findTable("BENCH", "BIG_TABLE")->dataObjectNumber;
    ASSERT_EQ(static_cast<std::int64_t>(summary.segmentBlocks.at(bigTable).size()), summary.bulkBlocks);
    const FileRows rows = readFileRows(path);
    std::set<std::string> ids;
    std::size_t live = 0, nonAsciiNames = 0;
    std::size_t chained = 0;
    for (const FileRowPiece* piece : rows.of(bigTable)) {
        ASSERT_FALSE(piece->columns.empty());
        EXPECT_LE(piece->columns.size(), 10u);
        // Live rows whole or as a chain's head (its last piece holds no id).
        if (piece->flag != 0x2C && piece->flag != kChainedHeadRow) continue;
        ASSERT_TRUE(piece->columns[0].has_value());
        ++live;
        chained += piece->flag == kChainedHeadRow ? 1 : 0;
        ids.insert(std::string(piece->columns[0]->begin(), piece->columns[0]->end()));
        if (piece->flag == 0x2C && piece->columns.size() == 10) {
            EXPECT_EQ(piece->columns[9]->size(), 8u) << "BINARY_DOUBLE";
        }
        const auto& name = piece->columns.at(1);
        if (name && std::any_of(name->begin(), name->end(), [](std::uint8_t b) { return b >= 0x80; })) ++nonAsciiNames;
    }
    EXPECT_EQ(ids.size(), live);
    EXPECT_GT(live, static_cast<std::size_t>(summary.bulkBlocks) * 60);
    EXPECT_NEAR(static_cast<double>(chained) / static_cast<double>(live), 0.05, 0.005) << "one row in twenty is chained";
    // One name in seven carries code-page letters beyond ASCII.
    EXPECT_NEAR(static_cast<double>(nonAsciiNames) / static_cast<double>(live), 1.0 / 7, 0.01);
}
