#pragma once
// Version search, block-size check and the block index.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/block_view.h"

#include "datafile/block_index.h"
#include "datafile/cfile64.h"
#include "datafile/datafile_set.h"
#include "platform/job_control.h"

namespace restorix {

struct ReleaseInfo {
    bool isVersion9 = false;
    bool isVersion10 = false;
    bool isVersion11 = false;
    std::string releaseText;  // e.g. "10.2.0.1.0"
    // NLS_CHARACTERSET and NLS_NCHAR_CHARACTERSET, found beside the release
    // text ("AL32UTF8", "AL16UTF16"); empty when not found.
    std::string characterSet;
    std::string ncharCharacterSet;
    int blockSize = 0;        // as block 0 of the SYSTEM file names it
    std::optional<CutShort> cutShort;

    bool supported() const { return isVersion9 || isVersion10 || isVersion11; }
    // Names and texts are stored in UTF-8 (AL32UTF8 or UTF8).
    bool storesUtf8() const { return characterSet == "AL32UTF8" || characterSet == "UTF8"; }
    // A name or text read from the datafile as it is shown and as file names
    // take it: for a database that stores UTF-8, the characters its stored
    // bytes spell (storedUtf8Text); otherwise the text itself.
    std::string shownText(std::string_view text) const;
};

enum class ScanResult {
    Completed,           // index built
    Stopped,             // the stop flag was seen
    UnsupportedVersion,  // message shown; the caller ends the process
    BlockSizeTooBig,     // message shown; the index stays empty
    ForeignDatafile,     // message shown: a file of another database was given
    NothingReadable,     // message shown: every block of every file failed to read
};

struct ScanOptions {
    // The windows show the full bar for a second once the version is found.
    bool pauseAfterVersion = false;
};

inline constexpr const char* kUnsupportedVersionMessage = "Oracle Version not supported.Application exiting.";
inline constexpr const char* kBlockSizeTooBigMessage = "Block size too big";
inline constexpr const char* kNothingReadableMessage = "No block of the datafiles could be read.";
inline constexpr const char* kVersionSearchCaption = "Analyzing File for the Oracle version";
inline constexpr const char* kAnalysisStatus = "Analysis is in Progress, please  wait .....";

// Runs the version search and the block scan over the open datafiles: the
// first file holding the release text is the SYSTEM file; every file's data
// blocks are indexed, in the order given. Messages go through `messages`
// with `caption` (the application title); a datafile cut short is said there
// too and the scan goes on.
ScanResult scanDatafiles(DatafileSet& files, BlockIndex& index, ReleaseInfo& release, ProgressSink& progress,
                         JobControl& control, MessageSink& messages, const std::string& caption,
                         const ScanOptions& options = {});

// "the datafile ends at block N of M: it was cut short"
std::string cutShortWarning(const CutShort& cut);
// The same for file i of the set, with its path in front when several were given.
std::string cutShortWarning(const DatafileSet& files, std::size_t i);

}  // namespace restorix
