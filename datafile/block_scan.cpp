#include "datafile/block_scan.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "datafile/block_layout.h"
#include "platform/codepage.h"

namespace restorix {

namespace {

constexpr int kBlockSizeFieldOffset = 20;  // u16le in the file's first block
// Block 1, the file header: its type byte and the number of blocks it counts.
constexpr std::int64_t kFileHeaderBlock = 1;
constexpr std::uint8_t kFileHeaderBlockType = 0x0B;
constexpr int kHeaderBlockCountOffset = 44;
constexpr int kMaxBlockSize = 16000;
constexpr std::string_view kVersionTag = "NLS_RDBMS_VERSION";
constexpr std::string_view kCharacterSetTag = "NLS_CHARACTERSET";
constexpr std::string_view kNcharCharacterSetTag = "NLS_NCHAR_CHARACTERSET";
constexpr std::size_t kBlankCaptionWidth = 59;
constexpr auto kVersionShownFor = std::chrono::milliseconds(1000);
// Blocks are judged one by one but read in large pieces: one system call per
// 128 blocks instead of one per block.
constexpr std::size_t kBlocksPerRead = 128;

using BlockSpan = std::span<const std::uint8_t, kBlockSize>;

// Percentage shown before block p is handled; the first block shows 0. Kept
// inside 0..100 for files shorter than 100 bytes, where the formula goes negative.
int scanProgress(std::int64_t position, std::int64_t length) {
    const std::int64_t percent = ((position - 1) * 100) / length;
    return static_cast<int>(std::clamp<std::int64_t>(percent, 0, 100));
}

// Hands out the file's 8192-byte blocks in order, each zero-filled past the end
// of the file, while reading the file in large pieces.
class SequentialBlocks {
public:
    SequentialBlocks(const CFile64& file, std::int64_t length)
        : file_(file), length_(length), buffer_(kBlocksPerRead * kBlockSize) {}

    struct Next {
        std::int64_t position;
        BlockSpan bytes;
    };
    // The next block and its file position; nothing after the last one.
    std::optional<Next> next() {
        if (nextPosition_ >= length_) return std::nullopt;
        if (nextInBuffer_ == blocksInBuffer_) refill();
        const Next block{nextPosition_, BlockSpan(buffer_.data() + nextInBuffer_ * kBlockSize, kBlockSize)};
        ++nextInBuffer_;
        nextPosition_ += kBlockSize;
        return block;
    }

private:
    void refill() {
        const std::int64_t remaining = length_ - nextPosition_;
        const std::int64_t blocksLeft = (remaining + kBlockSize - 1) / kBlockSize;
        blocksInBuffer_ = static_cast<std::size_t>(std::min<std::int64_t>(blocksLeft, kBlocksPerRead));
        const std::span<std::uint8_t> wanted(buffer_.data(), blocksInBuffer_ * kBlockSize);
        const std::size_t got = file_.readAt(nextPosition_, wanted);
        std::fill(wanted.begin() + static_cast<std::ptrdiff_t>(got), wanted.end(), std::uint8_t{0});
        nextInBuffer_ = 0;
    }

    const CFile64& file_;
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
            if (BlockView::contains(lengthOffset + 1, *textLength)) {
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
bool searchRelease(const CFile64& file, std::int64_t length, ReleaseInfo& release, ProgressSink& progress,
                   JobControl& control, const ScanOptions& options) {
    SequentialBlocks blocks(file, length);
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

// Indexes every block whose type byte says data block; false when stopped.
bool indexDataBlocks(const CFile64& file, std::int64_t length, BlockIndex& index, ProgressSink& progress,
                     JobControl& control) {
    SequentialBlocks blocks(file, length);
    while (const auto block = blocks.next()) {
        if (!control.proceed()) return false;
        progress.setProgress(scanProgress(block->position, length));
        const BlockSpan bytes = block->bytes;
        if (bytes[kBlockTypeOffset] != kDataBlockType) continue;
        if (!control.proceed()) return false;
        std::array<std::uint8_t, 4> objectIdBytes{};
        std::copy_n(bytes.begin() + kDataObjectOffset, objectIdBytes.size(), objectIdBytes.begin());
        index.appendBlockEntry(bytes[kBlockTypeOffset], objectIdBytes,
                               static_cast<std::int32_t>(readU32LE(objectIdBytes.data())),
                               bytes[kSegmentKindOffset], block->position / kBlockSize);
    }
    return true;
}

}  // namespace

std::string ReleaseInfo::shownText(std::string_view text) const {
    return storesUtf8() ? storedUtf8Text(text) : std::string(text);
}

void readBlock(const CFile64& file, std::int64_t blockNumber, Block& block) {
    block.fill(0);
    file.readAt(blockNumber * kBlockSize, block);
}

std::optional<CutShort> findCutShort(const CFile64& file) {
    Block header;
    readBlock(file, kFileHeaderBlock, header);
    const BlockView view(header);
    if (view.u8(0) != kFileHeaderBlockType) return std::nullopt;
    const std::optional<std::uint32_t> headerBlocks = view.u32le(kHeaderBlockCountOffset);
    if (!headerBlocks) return std::nullopt;
    const std::int64_t lastBlock = file.length() / kBlockSize - 1;
    if (lastBlock >= static_cast<std::int64_t>(*headerBlocks)) return std::nullopt;
    return CutShort{lastBlock, *headerBlocks};
}

std::string cutShortWarning(const CutShort& cut) {
    return "the datafile ends at block " + std::to_string(cut.lastBlock) + " of " +
           std::to_string(cut.headerBlocks) + ": it was cut short";
}

ScanResult scanDatafile(const CFile64& file, BlockIndex& index, ReleaseInfo& release, ProgressSink& progress,
                        JobControl& control, MessageSink& messages, const std::string& caption,
                        const ScanOptions& options) {
    release = ReleaseInfo{};
    index.clear();

    Block first;
    readBlock(file, 0, first);
    release.blockSize = readU16LE(first.data() + kBlockSizeFieldOffset);
    const std::int64_t length = file.length();
    release.cutShort = findCutShort(file);
    if (release.cutShort) messages.showMessage(cutShortWarning(*release.cutShort), caption);

    progress.setCaption(kVersionSearchCaption);
    if (!searchRelease(file, length, release, progress, control, options)) return ScanResult::Stopped;
    if (!release.supported()) {
        messages.showMessage(kUnsupportedVersionMessage, caption);
        return ScanResult::UnsupportedVersion;
    }
    if (release.blockSize > kMaxBlockSize) {
        messages.showMessage(kBlockSizeTooBigMessage, caption);
        return ScanResult::BlockSizeTooBig;
    }

    progress.setCaption(std::string(kBlankCaptionWidth, ' '));
    progress.setCaption("Oracle Version:" + release.releaseText);
    progress.setStatus(kAnalysisStatus);
    if (!indexDataBlocks(file, length, index, progress, control)) return ScanResult::Stopped;
    return ScanResult::Completed;
}

}  // namespace restorix
