#include "datafile/block_scan.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "datafile/block_layout.h"
#include "datafile/block_source.h"
#include "platform/codepage.h"

namespace restorix {

namespace {

constexpr int kMaxBlockSize = 16000;
constexpr std::string_view kVersionTag = "NLS_RDBMS_VERSION";
constexpr std::string_view kCharacterSetTag = "NLS_CHARACTERSET";
constexpr std::string_view kNcharCharacterSetTag = "NLS_NCHAR_CHARACTERSET";
constexpr std::size_t kBlankCaptionWidth = 59;
constexpr auto kVersionShownFor = std::chrono::milliseconds(1000);
// Blocks are judged one by one but read in large pieces: one system call per
// 128 blocks instead of one per block.
constexpr std::size_t kBlocksPerRead = 128;

using BlockSpan = std::span<const std::uint8_t>;

// Percentage shown before block p is handled; the first block shows 0. Kept
// inside 0..100 for files shorter than 100 bytes, where the formula goes negative.
int scanProgress(std::int64_t position, std::int64_t length) {
    const std::int64_t percent = ((position - 1) * 100) / length;
    return static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
}

// Hands out a file's blocks in order, each zero-filled past the end of the
// file, while reading the file in large pieces.
class SequentialBlocks {
public:
    SequentialBlocks(const BlockSource& source, std::uint16_t file)
        : source_(source),
          file_(file),
          blockSize_(source.files().at(file).blockSize),
          length_(source.files().at(file).length()),
          buffer_(kBlocksPerRead * static_cast<std::size_t>(blockSize_)) {}

    struct Next {
        std::int64_t position;
        BlockSpan bytes;
    };
    // The next block and its position from block 0; nothing after the last one.
    std::optional<Next> next() {
        if (nextPosition_ >= length_) return std::nullopt;
        if (nextInBuffer_ == blocksInBuffer_) refill();
        const auto size = static_cast<std::size_t>(blockSize_);
        const Next block{nextPosition_, BlockSpan(buffer_.data() + nextInBuffer_ * size, size)};
        ++nextInBuffer_;
        nextPosition_ += blockSize_;
        return block;
    }

private:
    void refill() {
        const std::int64_t remaining = length_ - nextPosition_;
        const std::int64_t blocksLeft = (remaining + blockSize_ - 1) / blockSize_;
        blocksInBuffer_ = static_cast<std::size_t>(std::min<std::int64_t>(blocksLeft, kBlocksPerRead));
        source_.read(file_, nextPosition_ / blockSize_,
                     std::span<std::uint8_t>(buffer_.data(), blocksInBuffer_ * static_cast<std::size_t>(blockSize_)));
        nextInBuffer_ = 0;
    }

    const BlockSource& source_;
    std::uint16_t file_;
    int blockSize_;
    std::int64_t length_;
    std::vector<std::uint8_t> buffer_;
    std::size_t blocksInBuffer_ = 0;
    std::size_t nextInBuffer_ = 0;
    std::int64_t nextPosition_ = 0;
};

enum class SearchStep { NotFound, Found, Stopped };

using TagSearcher = std::boyer_moore_horspool_searcher<std::string_view::const_iterator>;

// The first complete text stored under a tag in one block: the tag, a length
// byte L and L bytes of text, all inside the block. A tag whose length byte
// or text would lie past the block is passed over.
SearchStep findTaggedText(BlockSpan bytes, const TagSearcher& tagSearcher, JobControl& control, std::string& text) {
    const BlockView block(bytes);
    auto from = bytes.begin();
    while (true) {
        const auto [tagStart, tagEnd] = tagSearcher(from, bytes.end());
        if (tagStart == bytes.end()) return SearchStep::NotFound;
        if (!control.proceed()) return SearchStep::Stopped;
        const long lengthOffset = tagEnd - bytes.begin();
        if (const auto textLength = block.u8(lengthOffset)) {
            if (block.contains(lengthOffset + 1, *textLength)) {
                text = fromCodePage(block.bytes(lengthOffset + 1, *textLength));
                return SearchStep::Found;
            }
        }
        from = tagStart + 1;
    }
}

SearchStep findReleaseText(BlockSpan bytes, JobControl& control, std::string& text) {
    static const TagSearcher tagSearcher(kVersionTag.begin(), kVersionTag.end());
    return findTaggedText(bytes, tagSearcher, control, text);
}

// The character sets are kept beside the release text: each block the
// release search reads is searched for those not found yet.
bool findCharacterSets(BlockSpan bytes, JobControl& control, ReleaseInfo& release) {
    static const TagSearcher characterSetSearcher(kCharacterSetTag.begin(), kCharacterSetTag.end());
    static const TagSearcher ncharSearcher(kNcharCharacterSetTag.begin(), kNcharCharacterSetTag.end());
    if (release.characterSet.empty() &&
        findTaggedText(bytes, characterSetSearcher, control, release.characterSet) == SearchStep::Stopped)
        return false;
    return !release.ncharCharacterSet.empty() ||
           findTaggedText(bytes, ncharSearcher, control, release.ncharCharacterSet) != SearchStep::Stopped;
}

void recognizeRelease(ReleaseInfo& release) {
    const std::string_view text = release.releaseText;
    if (text.starts_with("9.")) {
        release.isVersion9 = true;
    } else if (text.starts_with("10")) {
        release.isVersion10 = true;
    } else if (text.starts_with("11")) {
        release.isVersion11 = true;
    }
}

// Searches the file block by block for the first release text; false when stopped.
bool searchRelease(const BlockSource& source, std::uint16_t file, ReleaseInfo& release, ProgressSink& progress,
                   JobControl& control, const ScanOptions& options) {
    const std::int64_t length = source.files().at(file).length();
    SequentialBlocks blocks(source, file);
    while (const auto block = blocks.next()) {
        if (!control.proceed()) return false;
        progress.setProgress(scanProgress(block->position, length));
        if (!findCharacterSets(block->bytes, control, release)) return false;
        switch (findReleaseText(block->bytes, control, release.releaseText)) {
        case SearchStep::Stopped:
            return false;
        case SearchStep::NotFound:
            continue;
        case SearchStep::Found:
            progress.setProgress(100);
            if (options.pauseAfterVersion) std::this_thread::sleep_for(kVersionShownFor);
            // Only the first occurrence in the file counts, whatever its text.
            recognizeRelease(release);
            return true;
        }
    }
    return true;
}

// The bytes of the files before file i, and of all files: the bar runs once
// over every file.
struct ScanSpan {
    std::int64_t before = 0;
    std::int64_t total = 0;
};

// The index needs only the first bytes of a block: its type, address,
// segment kind and data object. Reading those alone, one small read per
// block, spares the copy of every block the scan only sorts (the table
// blocks are read once, when they are saved). Reads that skip most of each
// block look random to the system, which would then fetch each from the
// disk on its own: the scan asks for the next piece of the file ahead, so
// that the disk still reads it in one sequential run.
constexpr std::size_t kIndexedHeaderSize = kDataObjectOffset + sizeof(std::uint32_t);
constexpr std::int64_t kReadAheadBytes = std::int64_t{1} << 20;
using IndexedHeader = std::array<std::uint8_t, kIndexedHeaderSize>;

// Indexes every block of file i whose type byte says data block; false when stopped.
bool indexDataBlocks(const BlockSource& source, Datafile& datafile, std::uint16_t fileIndex, BlockIndex& index,
                     ScanSpan span, ProgressSink& progress, JobControl& control) {
    const std::int64_t length = datafile.length();
    // Without a file header the file's number, and so a block's right address, is unknown.
    const bool knowsAddresses = datafile.header.has_value();
    const std::uint32_t relativeFile = knowsAddresses ? datafile.header->relativeFileNumber : 0;
    IndexedHeader header;
    std::int64_t readAhead = 0;  // where the piece asked for ahead ends
    for (std::int64_t position = 0; position < length; position += datafile.blockSize) {
        if (position >= readAhead - kReadAheadBytes) {
            datafile.file.adviseReadAhead(datafile.leaderBytes + readAhead, kReadAheadBytes);
            readAhead += kReadAheadBytes;
        }
        if (!control.proceed()) return false;
        progress.setProgress(scanProgress(span.before + position, span.total));
        const std::int64_t blockNumber = position / datafile.blockSize;
        // Zero-filled past the end of the file and when it cannot be read
        // (the block is then recorded as unreadable).
        source.read(fileIndex, blockNumber, header);
        if (header[kBlockTypeOffset] != kDataBlockType) continue;
        if (!control.proceed()) return false;
        const BlockView view = source.view(fileIndex, header);
        if (knowsAddresses &&
            view.u32(kBlockAddressOffset) != blockAddress(relativeFile, static_cast<std::uint32_t>(blockNumber)))
            ++datafile.misplacedBlocks;
        index.appendBlock(fileIndex, static_cast<std::int32_t>(*view.u32(kDataObjectOffset)), header[kSegmentKindOffset],
                          blockNumber);
    }
    return true;
}

// Searches the files in the order given for the release text; the first
// that holds it is the SYSTEM file. False when stopped.
bool findSystemFile(const BlockSource& source, DatafileSet& files, ReleaseInfo& release, ProgressSink& progress,
                    JobControl& control, const ScanOptions& options) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!searchRelease(source, static_cast<std::uint16_t>(i), release, progress, control, options)) return false;
        if (!release.releaseText.empty()) {
            files.setSystemIndex(i);
            return true;
        }
    }
    return true;
}

// Says, on the message sink, every file that is shorter than its header says.
void warnCutShort(const BlockSource& source, DatafileSet& files, MessageSink& messages, const std::string& caption) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        Datafile& datafile = files.at(i);
        datafile.cutShort = findCutShort(source, static_cast<std::uint16_t>(i));
        if (datafile.cutShort) messages.showMessage(cutShortWarning(files, i), caption);
    }
}

// Whether every block of every file failed to read: a disk that gives
// nothing, not a file of the wrong kind.
bool nothingReadable(const DatafileSet& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Datafile& datafile = files.at(i);
        const std::int64_t blocks = datafile.length() / datafile.blockSize;
        if (blocks == 0 || static_cast<std::int64_t>(datafile.unreadable.count()) < blocks) return false;
    }
    return true;
}

}  // namespace

std::string cutShortWarning(const DatafileSet& files, std::size_t i) {
    const Datafile& datafile = files.at(i);
    if (!datafile.cutShort) return {};
    const std::string warning = cutShortWarning(*datafile.cutShort);
    return files.size() == 1 ? warning : datafile.path + ": " + warning;
}

std::string ReleaseInfo::shownText(std::string_view text) const {
    return storesUtf8() ? storedUtf8Text(text) : std::string(text);
}

std::string cutShortWarning(const CutShort& cut) {
    return "the datafile ends at block " + std::to_string(cut.lastBlock) + " of " +
           std::to_string(cut.headerBlocks) + ": it was cut short";
}

ScanResult scanDatafiles(DatafileSet& files, BlockIndex& index, ReleaseInfo& release, ProgressSink& progress,
                         JobControl& control, MessageSink& messages, const std::string& caption,
                         const ScanOptions& options) {
    release = ReleaseInfo{};
    index.clear();

    const BlockSource source(files);
    warnCutShort(source, files, messages, caption);
    progress.setCaption(kVersionSearchCaption);
    if (!findSystemFile(source, files, release, progress, control, options)) return ScanResult::Stopped;
    if (release.releaseText.empty() && nothingReadable(files)) {
        messages.showMessage(kNothingReadableMessage, caption);
        return ScanResult::NothingReadable;
    }
    Datafile& system = files.system();
    system.blockSize = kBlockSize;
    release.cutShort = system.cutShort;
    std::array<std::uint8_t, kBlockSizeFieldOffset + sizeof(std::uint32_t)> blockZero{};
    source.read(static_cast<std::uint16_t>(files.systemIndex()), 0, blockZero);
    release.blockSize = blockSizeOfBlockZero(source.view(static_cast<std::uint16_t>(files.systemIndex()), blockZero));
    if (!release.supported()) {
        messages.showMessage(kUnsupportedVersionMessage, caption);
        return ScanResult::UnsupportedVersion;
    }
    if (release.blockSize > kMaxBlockSize) {
        messages.showMessage(kBlockSizeTooBigMessage, caption);
        return ScanResult::BlockSizeTooBig;
    }
    if (const std::optional<DatafileRefusal> foreign = files.foreignFile()) {
        messages.showMessage(std::string(kDatafilesRefusedMessage) + "\n" + foreign->path + ": " + foreign->reason,
                             caption);
        return ScanResult::ForeignDatafile;
    }

    progress.setCaption(std::string(kBlankCaptionWidth, ' '));
    progress.setCaption("Oracle Version:" + release.releaseText);
    progress.setStatus(kAnalysisStatus);
    ScanSpan span;
    for (std::size_t i = 0; i < files.size(); ++i) span.total += files.at(i).length();
    for (std::size_t i = 0; i < files.size(); ++i) {
        Datafile& datafile = files.at(i);
        if (!indexDataBlocks(source, datafile, static_cast<std::uint16_t>(i), index, span, progress, control))
            return ScanResult::Stopped;
        span.before += datafile.length();
    }
    return ScanResult::Completed;
}

}  // namespace restorix
