#pragma once
// The datafiles of one database as given: the SYSTEM file (found by the scan)
// and any others, each open read-only and locked, with what its own headers
// say of it. A block is found by its file's place in this set and its block
// number; a block address names the file by its relative file number.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "datafile/block_view.h"
#include "datafile/cfile64.h"

namespace restorix {

// Block 0 holds the block size; block 1, the file header, the rest.
constexpr int kBlockSizeFieldOffset = 20;  // in block 0
constexpr int kBlockZeroBlockCountOffset = 24;  // in block 0 (10g on)
constexpr int kLargestBlockSize = 32768;
constexpr std::int64_t kFileHeaderBlock = 1;
constexpr std::uint8_t kFileHeaderBlockType = 0x0B;
constexpr int kDatabaseIdOffset = 28;
constexpr int kHeaderBlockCountOffset = 44;
constexpr int kRelativeFileNumberOffset = 368;
// The address of BOOTSTRAP$'s segment header, in the SYSTEM file's header.
constexpr int kRootAddressOffset = 96;
constexpr int kTablespaceNameLengthOffset = 336;  // a u16, the name follows

// What block 0 (the operating system's header block) and block 1 (the file
// header) of a datafile say of it.
struct DatafileHeader {
    int blockSize = 0;
    std::uint32_t databaseId = 0;
    std::uint32_t relativeFileNumber = 0;
    std::uint32_t headerBlocks = 0;  // the file's size in blocks, after block 0
};

// A datafile shorter than its header says: its last whole block and the
// number of blocks the header counts (they are numbered from 1, after the
// operating system's header block 0).
struct CutShort {
    std::int64_t lastBlock = 0;
    std::int64_t headerBlocks = 0;
};

// A block's address: the relative file number above 22 bits of block number.
constexpr int kRelativeFileShift = 22;
constexpr std::uint32_t kBlockNumberMask = (1u << kRelativeFileShift) - 1;
constexpr std::uint32_t blockAddress(std::uint32_t relativeFile, std::uint32_t blockNumber) {
    return (relativeFile << kRelativeFileShift) | (blockNumber & kBlockNumberMask);
}

// The blocks of one datafile that could not be read (a bad sector), each
// kept once in the order met, whichever reader met it; readers on several
// threads record here.
class UnreadableBlocks {
public:
    void record(std::int64_t blockNumber);
    std::vector<std::int64_t> all() const;
    std::size_t count() const;
    // The blocks recorded since the last call, so that each is told once.
    std::vector<std::int64_t> takeUntold();

private:
    mutable std::mutex mutex_;
    std::vector<std::int64_t> blocks_;        // in the order met
    std::unordered_set<std::int64_t> recorded_;  // the same blocks, to keep each once
    std::size_t told_ = 0;
};

struct Datafile {
    std::string path;  // as given
    CFile64 file;
    std::optional<DatafileHeader> header;
    // The SYSTEM file is read in 8K blocks whatever its header says; the
    // others in their own block size.
    int blockSize = 0;
    // Data blocks whose own address disagrees with their place in the file.
    std::int64_t misplacedBlocks = 0;
    // Set by the scan when the file is shorter than its header says.
    std::optional<CutShort> cutShort;
    // Blocks a read error left unread; recorded by readers that hold the file as const.
    mutable UnreadableBlocks unreadable;
    // How the file stores the integers of its blocks, and where its block 0
    // begins: 4,096 bytes in for a copy of an AIX raw logical volume.
    ByteOrder byteOrder = ByteOrder::Little;
    std::int64_t leaderBytes = 0;

    // The file's bytes from block 0 on.
    std::int64_t length() const { return file.length() - leaderBytes; }
    std::int64_t blockCount() const;
    // The number of blocks missing from a file cut short; 0 for a whole file.
    std::int64_t missingBlocks() const { return cutShort ? cutShort->headerBlocks - cutShort->lastBlock : 0; }
};

// "<file>: block N (byte offset B) cannot be read: <reason>", as told on
// stderr and in the log.
std::string unreadableBlockText(const Datafile& datafile, std::int64_t blockNumber);

inline constexpr const char* kDatafilesRefusedMessage = "The datafiles cannot be read together.";
inline constexpr const char* kNoSuchFileMessage = "No such file exists.";
inline constexpr const char* kNotAllowedToReadMessage = "You are not allowed to read this file.";
inline constexpr const char* kFileInUseMessage = "The selected file is already being used by another process.";

// Why a set of datafiles cannot be read; names the file at fault.
struct DatafileRefusal {
    enum class Kind {
        Missing,        // no such file
        NotReadable,    // a folder, a FIFO, a device, or a failure of the system: reason says which
        NotPermitted,   // the user may not read it, or may not enter a folder on its path
        NotOpened,      // another process holds its lock
        NotADatafile,   // no valid file header
        GivenTwice,
        SameFileNumber,  // its relative file number is another file's
        OtherDatabase,   // its database id is not the SYSTEM file's
        OtherByteOrder,  // its byte order is not the SYSTEM file's
    };
    Kind kind = Kind::Missing;
    std::string path;
    std::string reason;  // the system's reason or what was found
};

// Which refusal a failure to look at (stat) or to open a file is, by errno.
DatafileRefusal::Kind refusalKindOfError(int errorCode);

// The message a refusal is told with, first, on the command line and in the
// windows; the file and the reason follow it.
const char* refusalMessage(DatafileRefusal::Kind kind);

class DatafileSet {
public:
    // Opens every file read-only and locked. With more than one, each must
    // carry a valid file header, no file may be given twice and no two may
    // share a relative file number. On refusal nothing stays open. What an
    // earlier open kept of its files is forgotten.
    std::optional<DatafileRefusal> open(const std::vector<std::string>& paths);
    // Closes every file but keeps what is known of each (its header, whether
    // it was cut short, the blocks that could not be read) for the account
    // of the recovery; reading from them now fails.
    void close();

    bool isOpen() const { return !files_.empty() && files_.front()->file.isOpen(); }
    std::size_t size() const { return files_.size(); }
    Datafile& at(std::size_t i) { return *files_[i]; }
    const Datafile& at(std::size_t i) const { return *files_[i]; }

    // The SYSTEM file: the first one until the scan has found it.
    std::size_t systemIndex() const { return system_; }
    void setSystemIndex(std::size_t i) { system_ = i; }
    Datafile& system() { return at(system_); }
    const Datafile& system() const { return at(system_); }

    // The first file other than the SYSTEM file whose database id or byte
    // order differs from its own: the files of one database share both.
    std::optional<DatafileRefusal> foreignFile() const;

    // The file a block address of `fromFile` leads to: the same file when the
    // address names the relative file number `fromFile`'s own blocks carry,
    // else the file with that number; nothing when none was given.
    std::optional<std::uint16_t> fileAddressed(std::uint16_t fromFile, std::uint32_t ownRelativeFile,
                                               std::uint32_t address) const;

private:
    void forget();

    std::vector<std::unique_ptr<Datafile>> files_;
    std::size_t system_ = 0;
};

}  // namespace restorix
