#pragma once
// Version search, block-size check and the block index.

#include <string>

#include "datafile/block_view.h"

#include "datafile/block_index.h"
#include "datafile/cfile64.h"
#include "platform/job_control.h"

namespace restorix {

struct ReleaseInfo {
    bool isVersion9 = false;
    bool isVersion10 = false;
    bool isVersion11 = false;
    std::string releaseText;  // e.g. "10.2.0.1.0"
    int blockSize = 0;        // u16le at file offset 20

    bool supported() const { return isVersion9 || isVersion10 || isVersion11; }
};

enum class ScanResult {
    Completed,           // index built
    Stopped,             // the stop flag was seen
    UnsupportedVersion,  // message shown; the caller ends the process
    BlockSizeTooBig,     // message shown; the index stays empty
};

struct ScanOptions {
    // The windows show the full bar for a second once the version is found.
    bool pauseAfterVersion = false;
};

inline constexpr const char* kUnsupportedVersionMessage = "Oracle Version not supported.Application exiting.";
inline constexpr const char* kBlockSizeTooBigMessage = "Block size too big";
inline constexpr const char* kVersionSearchCaption = "Analyzing File for the Oracle version";
inline constexpr const char* kAnalysisStatus = "Analysis is in Progress, please  wait .....";

// Runs the version search and the block scan over an open datafile. Messages
// go through `messages` with `caption` (the application title).
ScanResult scanDatafile(const CFile64& file, BlockIndex& index, ReleaseInfo& release,
                        ProgressSink& progress, JobControl& control, MessageSink& messages,
                        const std::string& caption, const ScanOptions& options = {});

// Reads block n into `block`, zero-filled first so a short last block reads
// as zeros past the end of the file.
void readBlock(const CFile64& file, std::int64_t blockNumber, Block& block);

}  // namespace restorix
