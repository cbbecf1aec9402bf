// Databases of several datafiles: every file's header blocks, ASSM data
// headers in blocks of every size, a table and a chained row across files,
// and the sparse sets of the scale benchmarks.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "datafile/block_layout.h"
#include "tools/forge/datafile_writer.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge_plan.h"
#include "tools/forge/multifile.h"
#include "tools/forge/table_rows.h"
#include "tests/temp_folder.h"

namespace fs = std::filesystem;
using namespace restorix;
using namespace restorix::forge;

namespace {

constexpr int kFileShift = 22;

std::uint32_t fileOf(std::uint32_t address) { return address >> kFileShift; }
std::int64_t blockOf(std::uint32_t address) { return address & ((1u << kFileShift) - 1); }

Bytes readBlock(const ForgedDatafile& file, std::int64_t block) {
    std::ifstream in(file.path, std::ios::binary);
    in.seekg(block * file.blockSize);
    Bytes bytes(static_cast<std::size_t>(file.blockSize));
    in.read(reinterpret_cast<char*>(bytes.data()), file.blockSize);
    if (!in) ADD_FAILURE() << file.path << " has no block " << block;
    return bytes;
}

const ForgedDatafile& fileNumbered(const DatabaseSummary& summary, std::uint32_t relativeFile) {
    for (const ForgedDatafile& file : summary.files)
        if (file.relativeFile == relativeFile) return file;
    throw std::out_of_range("no relative file " + std::to_string(relativeFile));
}

Bytes blockAt(const DatabaseSummary& summary, std::uint32_t address) {
    return readBlock(fileNumbered(summary, fileOf(address)), blockOf(address));
}

// The data header's free-space start is the end of the row directory.
bool freeSpaceStartFits(const Bytes& block, int dataHeader) {
    const int tables = block[static_cast<std::size_t>(dataHeader + kTableCountOffset)];
    const int rows = readU16LE(block.data() + dataHeader + kRowSlotCountOffset);
    return readU16LE(block.data() + dataHeader + 6) == kDataHeaderSize + kTableDirectoryEntrySize * tables + kRowDirectoryEntrySize * rows;
}

int freelistDataHeader(const Bytes& block) { return kFixedHeaderSize + kItlEntrySize * block[kItlCountOffset]; }

void expectHeaders(const ForgedDatafile& file) {
    SCOPED_TRACE(file.path);
    const Bytes osHeader = readBlock(file, 0);
    const Bytes fileHeader = readBlock(file, 1);
    EXPECT_EQ(readU16LE(osHeader.data() + kFileHeaderBlockSizeOffset), file.blockSize);
    EXPECT_EQ(fileHeader[0], kDatafileHeaderBlockType);
    EXPECT_EQ(readU32LE(fileHeader.data() + kBlockAddressOffset), blockAddress(file.relativeFile, 1));
    EXPECT_EQ(readU32LE(fileHeader.data() + 28), kForgedDatabaseId);
    EXPECT_EQ(readU32LE(fileHeader.data() + 44), fs::file_size(file.path) / static_cast<std::uint64_t>(file.blockSize) - 1);
    EXPECT_EQ(readU32LE(fileHeader.data() + 368), file.relativeFile);
}

class ForgedDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = new restorix::test::TempFolder("restorix-multifile-");
        summary_ = new DatabaseSummary(writeMultifileDatabase(folder_->path().string()));
        orders_ = planScenario(multifileScenario()).findTable("SHOP", "ORDERS")->dataObjectNumber;
    }
    static void TearDownTestSuite() {
        delete folder_;
        delete summary_;
    }
    static restorix::test::TempFolder* folder_;
    static DatabaseSummary* summary_;
    static std::int32_t orders_;
};
restorix::test::TempFolder* ForgedDatabase::folder_ = nullptr;
DatabaseSummary* ForgedDatabase::summary_ = nullptr;
std::int32_t ForgedDatabase::orders_ = 0;

TEST_F(ForgedDatabase, EveryFileDeclaresItsBlockSizeNumberAndDatabase) {
    struct Expected {
        const char* name;
        std::uint32_t relativeFile;
        int blockSize;
    };
    const Expected expected[] = {{"SYSTEM01.DBF", 1, 8192}, {"USERS01.DBF", 4, 8192}, {"DATA01.DBF", 5, 16384}};
    ASSERT_EQ(summary_->files.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const ForgedDatafile& file = summary_->files[i];
        EXPECT_EQ(fs::path(file.path).filename(), expected[i].name);
        EXPECT_EQ(file.relativeFile, expected[i].relativeFile);
        EXPECT_EQ(file.blockSize, expected[i].blockSize);
        expectHeaders(file);
    }
}

TEST_F(ForgedDatabase, AssmDataHeadersSitEightBytesAfterTheTransactionEntries) {
    int blocks = 0;
    for (const auto& [object, addresses] : summary_->tableBlocks) {
        for (const std::uint32_t address : addresses) {
            const Bytes block = blockAt(*summary_, address);
            SCOPED_TRACE(address);
            EXPECT_EQ(block[kBlockTypeOffset], kDataBlockType);
            EXPECT_EQ(readU32LE(block.data() + kDataObjectOffset), static_cast<std::uint32_t>(object));
            EXPECT_EQ(readU32LE(block.data() + kBlockAddressOffset), address);
            EXPECT_TRUE(freeSpaceStartFits(block, freelistDataHeader(block) + kAssmDataHeaderShift));
            EXPECT_FALSE(freeSpaceStartFits(block, freelistDataHeader(block)));
            ++blocks;
        }
    }
    EXPECT_EQ(blocks, 6);  // CUSTOMERS 1, PRODUCTS 1, ORDERS 4
}

TEST_F(ForgedDatabase, OrdersHasBlocksInBothFilesAndAChainFromOneIntoTheOther) {
    std::set<std::uint32_t> files;
    int chainedHeads = 0;
    for (const std::uint32_t address : summary_->tableBlocks.at(orders_)) {
        files.insert(fileOf(address));
        const Bytes block = blockAt(*summary_, address);
        const int h = freelistDataHeader(block) + kAssmDataHeaderShift;
        const int rowDirectory = h + kDataHeaderSize + kTableDirectoryEntrySize;
        for (int slot = 0; slot < readU16LE(block.data() + h + kRowSlotCountOffset); ++slot) {
            const int piece = h + readU16LE(block.data() + rowDirectory + kRowDirectoryEntrySize * slot);
            if (block[static_cast<std::size_t>(piece)] != kChainedHeadRow) continue;
            ++chainedHeads;
            const std::uint32_t next = readU32BE(block.data() + piece + kNextPieceAddressOffset);
            EXPECT_EQ(fileOf(address), 4u);
            EXPECT_EQ(fileOf(next), 5u);
            const Bytes tailBlock = blockAt(*summary_, next);
            const int th = freelistDataHeader(tailBlock) + kAssmDataHeaderShift;
            const int tailSlot = readU16BE(block.data() + piece + kNextPieceAddressOffset + 4);
            const int tail = th + readU16LE(tailBlock.data() + th + kDataHeaderSize + kTableDirectoryEntrySize +
                                            kRowDirectoryEntrySize * tailSlot);
            EXPECT_EQ(readU32LE(tailBlock.data() + kDataObjectOffset), static_cast<std::uint32_t>(orders_));
            EXPECT_EQ(tailBlock[static_cast<std::size_t>(tail)], kChainedLastRow);
        }
    }
    EXPECT_EQ(files, (std::set<std::uint32_t>{4, 5}));
    EXPECT_EQ(chainedHeads, 1);
}

TEST(ForgeBlockFormat, CompleteAssmBlocksOfEverySizeKeepRowsInsideTheBlock) {
    for (const int size : {2048, 4096, 8192, 16384, 32768}) {
        SCOPED_TRACE(size);
        DataBlockBuilder builder(77, blockAddress(5, 9), 3, 1, {size, true, true});
        int rows = 0;
        while (builder.addRow(makeRow({numberColumn(rows), textColumn("a row of some length")}))) ++rows;
        const Bytes block = builder.buildBytes();
        ASSERT_EQ(block.size(), static_cast<std::size_t>(size));
        const int h = kFixedHeaderSize + 3 * kItlEntrySize + kAssmDataHeaderShift;
        EXPECT_TRUE(freeSpaceStartFits(block, h));
        const int freeSpaceEnd = readU16LE(block.data() + h + 8);
        EXPECT_GE(h + freeSpaceEnd, h + readU16LE(block.data() + h + 6));
        EXPECT_LE(h + readU16LE(block.data() + h + kDataHeaderSize + kTableDirectoryEntrySize) + 1, size - kBlockTailSize);
        EXPECT_EQ(readU32LE(block.data() + size - kBlockTailSize), 0x0601u);  // type 6, sequence 1
        EXPECT_GT(rows, size / 40);
    }
    EXPECT_THROW(DataBlockBuilder(1, 0, 2, 1, {12288, true, true}), std::invalid_argument);
}

TEST(ForgeSparseSet, OnlyTheExtentsAndHeadersAreWritten) {
    const restorix::test::TempFolder scratch("restorix-sparse-");
    const fs::path& folder = scratch.path();
    const DatabaseSummary summary = writeSparseDatabase(folder.string(), {64ull << 20, 20, 8192, 10});
    ASSERT_EQ(summary.files.size(), 3u);
    std::uint64_t dataBytes = 0;
    for (std::size_t i = 1; i < summary.files.size(); ++i) {
        const ForgedDatafile& file = summary.files[i];
        expectHeaders(file);
        dataBytes += fs::file_size(file.path);
        struct stat status {};
        ASSERT_EQ(stat(file.path.c_str(), &status), 0);
        EXPECT_LT(static_cast<std::uint64_t>(status.st_blocks) * 512, fs::file_size(file.path) / 4) << file.path;
    }
    EXPECT_EQ(dataBytes, 64ull << 20);
    ASSERT_EQ(summary.tableBlocks.size(), 20u);
    for (const auto& [object, addresses] : summary.tableBlocks) {
        std::set<std::uint32_t> files;
        for (const std::uint32_t address : addresses) {
            files.insert(fileOf(address));
            EXPECT_EQ(readU32LE(blockAt(summary, address).data() + kDataObjectOffset), static_cast<std::uint32_t>(object));
        }
        EXPECT_EQ(files.size(), 2u) << object;
    }
    EXPECT_THROW(writeSparseDatabase(folder.string(), {1ull << 20, 2000, 8192, 10}), std::invalid_argument);
}

}  // namespace
