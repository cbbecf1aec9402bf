#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <tuple>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "datafile/block_index.h"
#include "datafile/block_layout.h"
#include "datafile/block_scan.h"
#include "datafile/cfile64.h"
#include "datafile/datafile_set.h"
#include "datafile/segment_blocks.h"
#include "tests/temp_folder.h"

using namespace restorix;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A folder of its own, removed afterwards.
class TempFolder {
public:
    std::string write(const std::string& name, const Bytes& bytes) const {
        const fs::path file = folder_ / name;
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

private:
    test::TempFolder folder_{"restorix-datafile-"};
};

void put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}
void put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A datafile image: the block size in the first block, release texts and data
// blocks placed where a test wants them.
class DatafileImage {
public:
    explicit DatafileImage(std::size_t blocks, std::uint16_t blockSize = 8192) : bytes_(blocks * kBlockSize) {
        if (bytes_.size() >= 22) put16(bytes_, 20, blockSize);
    }
    DatafileImage& release(std::size_t offset, const std::string& text) {
        const std::string tagged = std::string("NLS_RDBMS_VERSION") + static_cast<char>(text.size()) + text;
        std::copy(tagged.begin(), tagged.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
        return *this;
    }
    DatafileImage& dataBlock(std::size_t block, std::uint32_t dataObject, std::uint8_t segmentKind = 1) {
        const std::size_t start = block * kBlockSize;
        bytes_[start + kBlockTypeOffset] = kDataBlockType;
        bytes_[start + kSegmentKindOffset] = segmentKind;
        put32(bytes_, start + kDataObjectOffset, dataObject);
        return *this;
    }
    Bytes& bytes() { return bytes_; }

private:
    Bytes bytes_;
};

struct RecordingProgress : ProgressSink {
    std::vector<std::string> captions;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<int> progressAfterStatus;
    void setCaption(std::string_view text) override { captions.emplace_back(text); }
    void setStatus(std::string_view text) override { statuses.emplace_back(text); }
    void setProgress(int percent) override {
        (statuses.empty() ? progress : progressAfterStatus).push_back(percent);
    }
};

struct RecordingMessages : MessageSink {
    std::vector<std::pair<std::string, std::string>> shown;
    void showMessage(std::string_view text, std::string_view caption) override {
        shown.emplace_back(std::string(text), std::string(caption));
    }
};

const std::string kTitle = " Restorix for Oracle Database";

struct ScanRun {
    ScanResult result;
    BlockIndex index;
    ReleaseInfo release;
    RecordingProgress progress;
    RecordingMessages messages;
};

void runScan(const std::string& path, ScanRun& run, JobControl& control) {
    DatafileSet files;
    ASSERT_FALSE(files.open({path}));
    run.result = scanDatafiles(files, run.index, run.release, run.progress, control, run.messages, kTitle);
}

// Every block of the index, data object by data object in the order of their first blocks.
std::vector<BlockEntry> indexedBlocks(const BlockIndex& index) {
    std::vector<BlockEntry> blocks;
    for (const std::int32_t object : index.dataObjects())
        for (const BlockRun& run : index.runsOf(object))
            for (std::uint32_t i = 0; i < run.count; ++i) blocks.push_back(run.at(i));
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const BlockEntry& a, const BlockEntry& b) { return a.blockNumber < b.blockNumber; });
    return blocks;
}

}  // namespace

// --- Reader -----------------------------------------------------------------

struct FieldCase {
    Bytes bytes;
    std::uint32_t value;
};
class LittleEndianFields : public ::testing::TestWithParam<FieldCase> {};

TEST_P(LittleEndianFields, ReadLeastSignificantByteFirst) {
    const auto& c = GetParam();
    const std::uint32_t actual = c.bytes.size() == 2 ? readU16LE(c.bytes.data()) : readU32LE(c.bytes.data());
    EXPECT_EQ(actual, c.value);
}

INSTANTIATE_TEST_SUITE_P(Table, LittleEndianFields,
                         ::testing::Values(FieldCase{{0x00, 0x20}, 8192}, FieldCase{{0xFF, 0xFF}, 0xFFFF},
                                           FieldCase{{0x12, 0x00, 0x00, 0x00}, 18},
                                           FieldCase{{0x78, 0x56, 0x34, 0x12}, 0x12345678},
                                           FieldCase{{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFF}));

TEST(CFile64, PositionsAboveFourGigabytesOnASparseFile) {
    TempFolder folder;
    const std::string path = folder.write("large.dbf", {});
    const std::int64_t size = 5LL << 30;
    const std::int64_t where = (4LL << 30) + 3 * kBlockSize;
    {
        std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_EQ(::truncate(path.c_str(), size), 0);
        Bytes block(kBlockSize);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i * 7);
        out.seekp(where);
        out.write(reinterpret_cast<const char*>(block.data()), kBlockSize);
    }
    CFile64 file;
    ASSERT_TRUE(file.open(path));
    EXPECT_EQ(file.length(), size);
    EXPECT_EQ(file.seek(where), where);
    EXPECT_EQ(file.position(), where);
    Bytes read(kBlockSize);
    EXPECT_EQ(file.read(read.data(), read.size()), static_cast<std::size_t>(kBlockSize));
    EXPECT_EQ(read[1], 7);
    EXPECT_EQ(read[kBlockSize - 1], static_cast<std::uint8_t>((kBlockSize - 1) * 7));
    EXPECT_EQ(file.position(), where + kBlockSize);

    Block viaReadAt{};
    file.readAt(where, viaReadAt);
    EXPECT_TRUE(std::equal(viaReadAt.begin(), viaReadAt.end(), read.begin()));
    EXPECT_EQ(file.position(), where + kBlockSize) << "readAt must not move the position";

    EXPECT_EQ(file.seek(-kBlockSize, 1), where);
    EXPECT_EQ(file.seek(-1, 2), size - 1);
}

TEST(CFile64, ShortReadAtTheEndOfTheFile) {
    TempFolder folder;
    const std::string path = folder.write("short.dbf", Bytes(kBlockSize + 100, 0x41));
    CFile64 file;
    ASSERT_TRUE(file.open(path));
    Bytes buffer(kBlockSize, 0);
    file.seek(kBlockSize);
    EXPECT_EQ(file.read(buffer.data(), buffer.size()), 100u);
    EXPECT_EQ(file.readAt(kBlockSize + 50, buffer), 50u);
    EXPECT_EQ(file.readAt(10 * kBlockSize, buffer), 0u);
}

TEST(CFile64, HeldFileCannotBeOpenedAgain) {
    TempFolder folder;
    const std::string path = folder.write("held.dbf", Bytes(kBlockSize, 0));
    CFile64 holder;
    ASSERT_TRUE(holder.open(path));

    CFile64 second;
    int errorCode = 0;
    EXPECT_FALSE(second.open(path, &errorCode));
    EXPECT_EQ(errorCode, EWOULDBLOCK);
    EXPECT_FALSE(second.isOpen());

    // Another process is refused too.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CFile64 other;
        ::_exit(other.open(path) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process opened the held file";

    holder.close();
    EXPECT_TRUE(second.open(path)) << "closing releases the file";
}

TEST(CFile64, FailuresCarryTheSystemErrorCode) {
    TempFolder folder;
    CFile64 file;
    int errorCode = 0;
    EXPECT_FALSE(file.open(folder.write("x", {}) + ".missing", &errorCode));
    EXPECT_EQ(errorCode, ENOENT);

    auto errorOf = [](auto&& operation) {
        try {
            operation();
        } catch (const FileError& error) {
            return error.errorCode();
        }
        return 0;
    };
    Bytes buffer(16);
    EXPECT_EQ(errorOf([&] { file.read(buffer.data(), buffer.size()); }), EBADF);
    EXPECT_EQ(errorOf([&] { file.length(); }), EBADF);
    EXPECT_EQ(errorOf([&] { file.position(); }), EBADF);

    ASSERT_TRUE(file.open(folder.write("open.dbf", Bytes(64, 1))));
    EXPECT_EQ(errorOf([&] { file.seek(-1); }), EINVAL);
    EXPECT_EQ(errorOf([&] { file.readAt(-kBlockSize, buffer); }), EINVAL);
    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_TRUE(file.fileName().empty());
    EXPECT_NO_THROW(file.close());
}

// The system's failure to look at or open a datafile, and what the user is told.
struct RefusalErrorCase {
    int errorCode;
    DatafileRefusal::Kind kind;
    const char* message;
};

class RefusalError : public ::testing::TestWithParam<RefusalErrorCase> {};

TEST_P(RefusalError, IsToldAsWhatItIs) {
    EXPECT_EQ(refusalKindOfError(GetParam().errorCode), GetParam().kind);
    EXPECT_STREQ(refusalMessage(GetParam().kind), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalError,
    ::testing::Values(RefusalErrorCase{ENOENT, DatafileRefusal::Kind::Missing, "No such file exists."},
                      RefusalErrorCase{ENOTDIR, DatafileRefusal::Kind::Missing, "No such file exists."},
                      RefusalErrorCase{EACCES, DatafileRefusal::Kind::NotPermitted,
                                       "You are not allowed to read this file."},
                      RefusalErrorCase{EPERM, DatafileRefusal::Kind::NotPermitted,
                                       "You are not allowed to read this file."},
                      RefusalErrorCase{EWOULDBLOCK, DatafileRefusal::Kind::NotOpened,
                                       "The selected file is already being used by another process."}),
    [](const auto& info) { return std::string(strerrorname_np(info.param.errorCode)); });

// A writer holding the file with either kind of advisory lock is seen: a
// whole-file flock, or only an fcntl record lock (which flock does not see).
struct WriterLockCase {
    const char* what;
    int (*lock)(int fd);  // 0 or the errno of taking the lock
};
void PrintTo(const WriterLockCase& c, std::ostream* os) { *os << c.what; }

class WriterLock : public ::testing::TestWithParam<WriterLockCase> {};

TEST_P(WriterLock, TheFileIsHeld) {
    TempFolder folder;
    const std::string path = folder.write("held.dbf", Bytes(kBlockSize, 0));
    const int writer = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(GetParam().lock(writer), 0) << std::strerror(errno);
    CFile64 file;
    int errorCode = 0;
    EXPECT_FALSE(file.open(path, &errorCode));
    EXPECT_EQ(errorCode, EWOULDBLOCK);
    ::close(writer);
    EXPECT_TRUE(file.open(path)) << "the writer's close releases the file";
}

INSTANTIATE_TEST_SUITE_P(
    Table, WriterLock,
    ::testing::Values(WriterLockCase{"flock", [](int fd) { return ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 0 : errno; }},
                      // A process's own record lock conflicts with an open
                      // file description lock as another process's would.
                      WriterLockCase{"fcntl_record_lock",
                                     [](int fd) {
                                         struct flock range {};
                                         range.l_type = F_WRLCK;
                                         range.l_whence = SEEK_SET;
                                         range.l_start = kBlockSize;
                                         range.l_len = 1;
                                         return ::fcntl(fd, F_SETLK, &range) == 0 ? 0 : errno;
                                     }}),
    [](const auto& info) { return std::string(info.param.what); });

// A read that meets a bad sector (EIO) is read again piece by piece: the
// pieces that fail are zero-filled and told, the others read; any other
// failure still ends the read.
TEST(CFile64, ABadSectorLosesOnlyThePiecesThatHoldIt) {
    TempFolder folder;
    CFile64 file;
    ASSERT_TRUE(file.open(folder.write("bad.dbf", Bytes(4 * kBlockSize + 100, 0x41))));
    const std::int64_t badByte = 2 * kBlockSize + 700;
    file.setReadFaults([&](std::int64_t position, std::size_t length) {
        return position <= badByte && badByte < position + static_cast<std::int64_t>(length);
    });
    Bytes bytes(5 * kBlockSize, 0x55);
    std::vector<std::int64_t> told;
    const std::size_t got =
        file.readAtSkippingBadPieces(0, bytes, kBlockSize, [&](std::int64_t at) { told.push_back(at); });
    EXPECT_EQ(got, static_cast<std::size_t>(4 * kBlockSize + 100));
    EXPECT_EQ(told, std::vector<std::int64_t>{2 * kBlockSize});
    for (std::size_t i = 0; i < got; ++i) {
        const bool lost = i >= 2u * kBlockSize && i < 3u * kBlockSize;
        ASSERT_EQ(bytes[i], lost ? 0 : 0x41) << "byte " << i;
    }
    EXPECT_THROW(file.readAt(0, bytes), FileError) << "a plain read still fails";
    file.close();
    EXPECT_THROW(file.readAtSkippingBadPieces(0, bytes, kBlockSize, [](std::int64_t) {}), FileError)
        << "a closed file is no bad sector";
}

// Only a regular file (or a block device) is opened, and a FIFO never blocks
// the open; the reason says what the file is.
TEST(CFile64, RefusesWhatCannotBeADatafile) {
    TempFolder folder;
    const std::string regular = folder.write("a.dbf", Bytes(kBlockSize));
    const fs::path base = fs::path(regular).parent_path();
    fs::create_directory(base / "folder.dbf");
    ASSERT_EQ(::mkfifo((base / "pipe.dbf").c_str(), 0600), 0);
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {regular, std::nullopt},
        {(base / "folder.dbf").string(), "it is a folder"},
        {(base / "pipe.dbf").string(), "it is a FIFO"},
        {"/dev/null", "it is a character device"},
        {(base / "missing.dbf").string(), std::strerror(ENOENT)},
    };
    for (const auto& [path, reason] : cases) {
        EXPECT_EQ(CFile64::refusalReason(path), reason) << path;
        CFile64 file;
        int errorCode = 0;
        EXPECT_EQ(file.open(path, &errorCode), !reason) << path;
        EXPECT_EQ(errorCode != 0, reason.has_value()) << path;
    }
}

// The scan over a disk with bad sectors: a block whose header cannot be read
// is not indexed but recorded, and the scan goes on; a disk that gives nothing
// at all is said to, not taken for a file of an unknown release.
TEST(BadSectors, TheScanSkipsWhatCannotBeReadAndSaysWhenNothingCan) {
    TempFolder folder;
    DatafileImage image(5);
    image.release(100, "10.2.0.1.0").dataBlock(2, 18).dataBlock(3, 18);
    const std::string path = folder.write("bad.dbf", image.bytes());
    const auto failing = [](std::int64_t from, std::int64_t to) {
        return [from, to](std::int64_t position, std::size_t length) {
            return position < to && from < position + static_cast<std::int64_t>(length);
        };
    };
    for (const bool everything : {false, true}) {
        DatafileSet files;
        ASSERT_FALSE(files.open({path}));
        // A bad first byte of block 2 hides its header; with everything bad, no block reads.
        files.at(0).file.setReadFaults(everything ? failing(0, 5 * kBlockSize)
                                                  : failing(2 * kBlockSize, 2 * kBlockSize + 1));
        ScanRun run;
        JobControl control;
        run.result = scanDatafiles(files, run.index, run.release, run.progress, control, run.messages, kTitle);
        if (everything) {
            EXPECT_EQ(run.result, ScanResult::NothingReadable);
            EXPECT_EQ(run.messages.shown,
                      (std::vector<std::pair<std::string, std::string>>{{kNothingReadableMessage, kTitle}}));
            EXPECT_EQ(files.at(0).unreadable.count(), 5u);
            continue;
        }
        EXPECT_EQ(run.result, ScanResult::Completed);
        const std::vector<BlockEntry> indexed = indexedBlocks(run.index);
        ASSERT_EQ(indexed.size(), 1u);
        EXPECT_EQ(indexed[0].blockNumber, 3);
        EXPECT_EQ(files.at(0).unreadable.all(), std::vector<std::int64_t>{2});
        EXPECT_EQ(unreadableBlockText(files.at(0), 2),
                  path + ": block 2 (byte offset 16384) cannot be read: " + std::strerror(EIO) + "; it is skipped");
    }
}

// The file header in block 1 counts the blocks after block 0; a file that
// ends before the last of them is said to be cut short, and the scan goes on.
struct CutShortCase {
    const char* what;
    std::size_t fileBlocks;
    std::uint8_t headerType;
    std::uint32_t headerBlocks;
    std::optional<std::string> warning;
};
void PrintTo(const CutShortCase& c, std::ostream* os) { *os << c.what; }

class CutShortFile : public ::testing::TestWithParam<CutShortCase> {};

TEST_P(CutShortFile, WarnsAndGoesOn) {
    const CutShortCase& c = GetParam();
    TempFolder folder;
    DatafileImage image(c.fileBlocks);
    image.release(100, "10.2.0.1.0").dataBlock(2, 18);
    image.bytes()[kBlockSize] = c.headerType;
    put32(image.bytes(), kBlockSize + 44, c.headerBlocks);
    ScanRun run;
    JobControl control;
    runScan(folder.write("cut.dbf", image.bytes()), run, control);
    EXPECT_EQ(run.result, ScanResult::Completed);
    EXPECT_EQ(run.index.size(), 1u);
    if (c.warning) {
        ASSERT_EQ(run.messages.shown.size(), 1u);
        EXPECT_EQ(run.messages.shown[0].first, *c.warning);
        ASSERT_TRUE(run.release.cutShort);
        EXPECT_EQ(cutShortWarning(*run.release.cutShort), *c.warning);
    } else {
        EXPECT_TRUE(run.messages.shown.empty());
        EXPECT_FALSE(run.release.cutShort);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CutShortFile,
    ::testing::Values(CutShortCase{"whole", 4, 0x0b, 3, std::nullopt},
                      CutShortCase{"longer_than_the_header_says", 6, 0x0b, 3, std::nullopt},
                      CutShortCase{"cut_short", 4, 0x0b, 10, "the datafile ends at block 3 of 10: it was cut short"},
                      CutShortCase{"block_one_is_no_file_header", 4, 0x23, 10, std::nullopt}),
    [](const auto& info) { return std::string(info.param.what); });

// --- Block index ------------------------------------------------------------

TEST(BlockIndex, BlocksOfOneObjectAsRunsInFileAndBlockOrder) {
    BlockIndex index;
    // file, object, block: object 5 has a run of three, a lone block, and a run in the next file.
    const std::vector<std::tuple<std::uint16_t, std::int32_t, std::int64_t>> blocks = {
        {0, 5, 2}, {0, 5, 3}, {0, 5, 4}, {0, 7, 5}, {0, 5, 11}, {0, -1, 12}, {1, 5, 12}, {1, 5, 13}};
    for (const auto& [file, object, number] : blocks) index.appendBlock(file, object, 1, number);
    const auto fives = index.runsOf(5);
    ASSERT_EQ(fives.size(), 3u);
    std::vector<std::tuple<std::uint16_t, std::int64_t, std::uint32_t>> runs;
    for (const BlockRun& run : fives) runs.emplace_back(run.file, run.firstBlock, run.count);
    EXPECT_EQ(runs, (std::vector<std::tuple<std::uint16_t, std::int64_t, std::uint32_t>>{{0, 2, 3}, {0, 11, 1}, {1, 12, 2}}));
    EXPECT_EQ(index.blockCountOf(5), 6u);
    EXPECT_EQ(index.blockCountOf(-1), 1u);
    EXPECT_EQ(index.blockCountOf(6), 0u);
    EXPECT_EQ(index.size(), blocks.size());
    EXPECT_EQ(index.dataObjects(), (std::vector<std::int32_t>{5, 7, -1}));

    // A segment of several objects merges their runs into file and block order.
    const SegmentBlocks merged(index, {7, 5});
    std::vector<std::pair<std::uint16_t, std::int64_t>> order;
    for (std::size_t i = 0; i < merged.size(); ++i) order.emplace_back(merged.entry(i).file, merged.entry(i).blockNumber);
    EXPECT_EQ(order, (std::vector<std::pair<std::uint16_t, std::int64_t>>{{0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 11}, {1, 12}, {1, 13}}));
    EXPECT_TRUE(merged.isLastIndexEntry(merged.size() - 1));
    EXPECT_FALSE(merged.isLastIndexEntry(0));

    index.clear();
    EXPECT_TRUE(index.empty());
    EXPECT_TRUE(index.runsOf(5).empty());
}

// --- Version search and block-size check ------------------------------------

struct VersionCase {
    const char* name;
    std::vector<std::pair<std::size_t, std::string>> releases;  // file offset, release text
    std::uint16_t blockSize;
    ScanResult result;
    int flag;  // 9, 10, 11, or 0 for none
    std::string message;
};
class VersionSearch : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionSearch, FindsTheFirstReleaseAndChecksTheBlockSize) {
    const auto& c = GetParam();
    DatafileImage image(6, c.blockSize);
    for (const auto& [offset, text] : c.releases) image.release(offset, text);
    image.dataBlock(1, 18).dataBlock(4, 18);
    TempFolder folder;
    ScanRun run;
    JobControl control;
    runScan(folder.write("system.dbf", image.bytes()), run, control);

    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.release.isVersion9, c.flag == 9);
    EXPECT_EQ(run.release.isVersion10, c.flag == 10);
    EXPECT_EQ(run.release.isVersion11, c.flag == 11);
    EXPECT_EQ(run.release.blockSize, c.blockSize);
    if (c.message.empty()) {
        EXPECT_TRUE(run.messages.shown.empty());
    } else {
        ASSERT_EQ(run.messages.shown.size(), 1u);
        EXPECT_EQ(run.messages.shown[0].first, c.message);
        EXPECT_EQ(run.messages.shown[0].second, kTitle);
    }
    EXPECT_EQ(run.index.size(), c.result == ScanResult::Completed ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VersionSearch,
    ::testing::Values(
        VersionCase{"release_9", {{3 * 8192 + 40, "9.2.0.1.0"}}, 8192, ScanResult::Completed, 9, ""},
        VersionCase{"release_10", {{100, "10.2.0.1.0"}}, 8192, ScanResult::Completed, 10, ""},
        VersionCase{"release_11", {{5 * 8192, "11.1.0.6.0"}}, 8192, ScanResult::Completed, 11, ""},
        VersionCase{"nine_alone_is_not_nine_dot", {{100, "9"}}, 8192, ScanResult::UnsupportedVersion, 0,
                    kUnsupportedVersionMessage},
        VersionCase{"release_12_unsupported", {{100, "12.1.0.2.0"}}, 8192, ScanResult::UnsupportedVersion, 0,
                    kUnsupportedVersionMessage},
        VersionCase{"only_the_first_occurrence_counts", {{100, "8.1.7.0.0"}, {2 * 8192, "10.2.0.1.0"}}, 8192,
                    ScanResult::UnsupportedVersion, 0, kUnsupportedVersionMessage},
        VersionCase{"no_release_text", {}, 8192, ScanResult::UnsupportedVersion, 0, kUnsupportedVersionMessage},
        VersionCase{"tag_ending_at_block_end_is_passed_over", {{8192 - 17, "9.2"}, {3 * 8192, "10.2.0.4.0"}}, 8192,
                    ScanResult::Completed, 10, ""},
        VersionCase{"text_past_block_end_is_passed_over", {{2 * 8192 - 22, "9.2.0.1.0"}, {4 * 8192 + 100, "11.2.0.1.0"}},
                    8192, ScanResult::Completed, 11, ""},
        VersionCase{"block_size_4096", {{100, "10.2.0.1.0"}}, 4096, ScanResult::Completed, 10, ""},
        VersionCase{"block_size_16000", {{100, "10.2.0.1.0"}}, 16000, ScanResult::Completed, 10, ""},
        VersionCase{"block_size_16384", {{100, "10.2.0.1.0"}}, 16384, ScanResult::BlockSizeTooBig, 10,
                    kBlockSizeTooBigMessage}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VersionSearch, EmptyFileHasNoRelease) {
    TempFolder folder;
    ScanRun run;
    JobControl control;
    runScan(folder.write("empty.dbf", {}), run, control);
    EXPECT_EQ(run.result, ScanResult::UnsupportedVersion);
    EXPECT_TRUE(run.progress.progress.empty());
    ASSERT_EQ(run.messages.shown.size(), 1u);
    EXPECT_EQ(run.messages.shown[0].first, kUnsupportedVersionMessage);
}

TEST(VersionSearch, ReleaseTextIsConvertedFromTheCodePage) {
    TempFolder folder;
    ScanRun run;
    JobControl control;
    runScan(folder.write("cp.dbf", DatafileImage(1).release(60, "10.2\xE9").bytes()), run, control);
    EXPECT_EQ(run.release.releaseText, "10.2\u00E9");
}

// --- Block scan -------------------------------------------------------------

TEST(BlockScan, IndexesDataBlocksWithTheirOwnersInFileOrder) {
    DatafileImage image(6);
    image.release(200, "10.2.0.1.0").dataBlock(1, 0x00012345, 2).dataBlock(3, 77).dataBlock(5, 0x00012345);
    image.bytes()[2 * kBlockSize] = 0x20;  // another block type: not indexed
    image.bytes()[4 * kBlockSize] = kDataBlockType;  // a data block of zeros: object 0
    TempFolder folder;
    ScanRun run;
    JobControl control;
    runScan(folder.write("scan.dbf", image.bytes()), run, control);

    ASSERT_EQ(run.result, ScanResult::Completed);
    const std::vector<BlockEntry> entries = indexedBlocks(run.index);
    ASSERT_EQ(entries.size(), 4u);
    const std::vector<std::pair<std::int64_t, std::int32_t>> expected = {{1, 0x12345}, {3, 77}, {4, 0}, {5, 0x12345}};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].blockNumber, expected[i].first);
        EXPECT_EQ(entries[i].dataObjectId, expected[i].second);
    }
    EXPECT_EQ(entries[0].segmentKind, 2);
    EXPECT_EQ(run.index.blockCountOf(0x12345), 2u);

    EXPECT_EQ(run.progress.captions,
              (std::vector<std::string>{kVersionSearchCaption, std::string(59, ' '), "Oracle Version:10.2.0.1.0"}));
    EXPECT_EQ(run.progress.statuses, (std::vector<std::string>{kAnalysisStatus}));
    // ((p - 1) * 100) / length for p = 0, 8192, ... over 6 blocks.
    EXPECT_EQ(run.progress.progressAfterStatus, (std::vector<int>{0, 16, 33, 49, 66, 83}));
    EXPECT_EQ(run.progress.progress, (std::vector<int>{0, 100}));
}

TEST(BlockScan, ShortLastBlockIsZeroFilled) {
    // More blocks than one large read holds, so the short block comes after a
    // refill of a buffer that held other data.
    const std::size_t fullBlocks = 130;
    DatafileImage image(fullBlocks);
    image.release(100, "11.2.0.1.0");
    for (std::size_t b = 1; b < fullBlocks; ++b) image.dataBlock(b, 0x01010101);
    auto indexOfTail = [&](Bytes tail) {
        Bytes bytes = image.bytes();
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        TempFolder folder;
        ScanRun run;
        JobControl control;
        runScan(folder.write("tail.dbf", bytes), run, control);
        EXPECT_EQ(run.result, ScanResult::Completed);
        return indexedBlocks(run.index);
    };
    const auto withDataTail = indexOfTail({kDataBlockType, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(withDataTail.size(), fullBlocks);
    EXPECT_EQ(withDataTail.back().blockNumber, static_cast<std::int64_t>(fullBlocks));
    EXPECT_EQ(withDataTail.back().dataObjectId, 0);
    EXPECT_EQ(withDataTail.back().segmentKind, 0);

    EXPECT_EQ(indexOfTail({0x02, 0, 0}).size(), fullBlocks - 1);
}

TEST(BlockScan, StopsWhenAskedAtEachStage) {
    struct StoppingProgress : RecordingProgress {
        JobControl* control = nullptr;
        std::size_t stopAfterScanProgress = 0;  // 0: stop on the status text
        void setStatus(std::string_view text) override {
            RecordingProgress::setStatus(text);
            if (stopAfterScanProgress == 0) control->requestStop();
        }
        void setProgress(int percent) override {
            RecordingProgress::setProgress(percent);
            if (stopAfterScanProgress != 0 && progressAfterStatus.size() == stopAfterScanProgress)
                control->requestStop();
        }
    };
    DatafileImage image(8);
    image.release(100, "9.2.0.8.0");
    for (std::size_t b = 1; b < 8; ++b) image.dataBlock(b, 40);
    TempFolder folder;
    const std::string path = folder.write("stop.dbf", image.bytes());

    for (const std::size_t stopAfter : {std::size_t{0}, std::size_t{3}}) {
        SCOPED_TRACE(stopAfter);
        JobControl control;
        StoppingProgress progress;
        progress.control = &control;
        progress.stopAfterScanProgress = stopAfter;
        DatafileSet files;
        ASSERT_FALSE(files.open({path}));
        BlockIndex index;
        ReleaseInfo release;
        RecordingMessages messages;
        EXPECT_EQ(scanDatafiles(files, index, release, progress, control, messages, kTitle), ScanResult::Stopped);
        // Stopped right after showing progress for block stopAfter - 1, before indexing it.
        EXPECT_EQ(index.size(), stopAfter == 0 ? 0u : stopAfter - 2);
        EXPECT_TRUE(messages.shown.empty());
    }

    ScanRun run;
    JobControl stopped;
    stopped.requestStop();
    runScan(path, run, stopped);
    EXPECT_EQ(run.result, ScanResult::Stopped);
    EXPECT_TRUE(run.release.releaseText.empty()) << "nothing is searched once stopped";
}
