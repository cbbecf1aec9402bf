#include "datafile/datafile_set.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "datafile/block_source.h"

namespace restorix {

namespace {

// A file that cannot be looked at: a path that cannot be followed says so,
// since the file itself may be readable.
DatafileRefusal lookUpRefusal(const std::string& path, int errorCode) {
    const DatafileRefusal::Kind kind = refusalKindOfError(errorCode);
    const bool folderClosed = kind == DatafileRefusal::Kind::NotPermitted;
    return DatafileRefusal{kind, path,
                           (folderClosed ? "a folder on its path cannot be entered: " : "") +
                               std::string(std::strerror(errorCode))};
}

DatafileRefusal openRefusal(const std::string& path, int errorCode) {
    const DatafileRefusal::Kind kind = refusalKindOfError(errorCode);
    return DatafileRefusal{kind, path,
                           kind == DatafileRefusal::Kind::NotOpened ? std::string("another process holds it")
                                                                    : std::strerror(errorCode)};
}

std::optional<DatafileRefusal> openOne(Datafile& datafile) {
    struct stat status {};
    if (::stat(datafile.path.c_str(), &status) != 0) return lookUpRefusal(datafile.path, errno);
    if (const std::optional<std::string> reason = CFile64::refusalReason(datafile.path))
        return DatafileRefusal{DatafileRefusal::Kind::NotReadable, datafile.path, *reason};
    int errorCode = 0;
    if (!datafile.file.open(datafile.path, &errorCode)) return openRefusal(datafile.path, errorCode);
    readDatafileStart(datafile);
    return std::nullopt;
}

// The files named by two paths are one when they are the same file on disk.
bool sameFile(const std::string& a, const std::string& b) {
    struct stat first{};
    struct stat second{};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::optional<DatafileRefusal> givenTwice(const std::vector<std::string>& paths) {
    for (std::size_t i = 1; i < paths.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (paths[i] == paths[j] || sameFile(paths[i], paths[j]))
                return DatafileRefusal{DatafileRefusal::Kind::GivenTwice, paths[i], "it is also given as " + paths[j]};
    return std::nullopt;
}

}  // namespace

DatafileRefusal::Kind refusalKindOfError(int errorCode) {
    using Kind = DatafileRefusal::Kind;
    switch (errorCode) {
        case ENOENT:
        case ENOTDIR:  // a file on the path where a folder should be
            return Kind::Missing;
        case EACCES:
        case EPERM:
            return Kind::NotPermitted;
        case EWOULDBLOCK:  // the lock of an open that must not wait
            return Kind::NotOpened;
        default:
            return Kind::NotReadable;
    }
}

const char* refusalMessage(DatafileRefusal::Kind kind) {
    using Kind = DatafileRefusal::Kind;
    switch (kind) {
        case Kind::Missing:
        case Kind::NotReadable: return kNoSuchFileMessage;
        case Kind::NotPermitted: return kNotAllowedToReadMessage;
        case Kind::NotOpened: return kFileInUseMessage;
        case Kind::NotADatafile:
        case Kind::GivenTwice:
        case Kind::SameFileNumber:
        case Kind::OtherDatabase:
        case Kind::OtherByteOrder: break;
    }
    return kDatafilesRefusedMessage;
}

void UnreadableBlocks::record(std::int64_t blockNumber) {
    std::lock_guard lock(mutex_);
    if (recorded_.insert(blockNumber).second) blocks_.push_back(blockNumber);
}

std::vector<std::int64_t> UnreadableBlocks::all() const {
    std::lock_guard lock(mutex_);
    return blocks_;
}

std::size_t UnreadableBlocks::count() const {
    std::lock_guard lock(mutex_);
    return blocks_.size();
}

std::vector<std::int64_t> UnreadableBlocks::takeUntold() {
    std::lock_guard lock(mutex_);
    std::vector<std::int64_t> untold(blocks_.begin() + static_cast<std::ptrdiff_t>(told_), blocks_.end());
    told_ = blocks_.size();
    return untold;
}

std::string unreadableBlockText(const Datafile& datafile, std::int64_t blockNumber) {
    const std::int64_t offset = datafile.leaderBytes + blockNumber * datafile.blockSize;
    return datafile.path + ": block " + std::to_string(blockNumber) + " (byte offset " + std::to_string(offset) +
           ") cannot be read: " + std::strerror(EIO) + "; it is skipped";
}

std::int64_t Datafile::blockCount() const {
    return blockSize > 0 ? (length() + blockSize - 1) / blockSize : 0;
}

std::optional<DatafileRefusal> DatafileSet::open(const std::vector<std::string>& paths) {
    forget();
    if (auto twice = givenTwice(paths)) return twice;
    for (const std::string& path : paths) {
        files_.push_back(std::make_unique<Datafile>());
        files_.back()->path = path;
        if (auto refusal = openOne(*files_.back())) {
            forget();
            return refusal;
        }
    }
    // One file is read as it always was, as the SYSTEM file in 8K blocks;
    // several must each say which they are.
    if (files_.size() == 1) {
        files_.front()->blockSize = kBlockSize;
        return std::nullopt;
    }
    for (std::size_t i = 0; i < files_.size(); ++i) {
        const Datafile& file = *files_[i];
        std::optional<DatafileRefusal> refusal;
        if (!file.header) {
            refusal = DatafileRefusal{DatafileRefusal::Kind::NotADatafile, file.path,
                                      "it is not an Oracle datafile: it has no valid file header"};
        } else {
            for (std::size_t j = 0; j < i && !refusal; ++j)
                if (files_[j]->header->relativeFileNumber == file.header->relativeFileNumber)
                    refusal = DatafileRefusal{DatafileRefusal::Kind::SameFileNumber, file.path,
                                              "its relative file number " +
                                                  std::to_string(file.header->relativeFileNumber) + " is also that of " +
                                                  files_[j]->path};
        }
        if (refusal) {
            forget();
            return refusal;
        }
    }
    return std::nullopt;
}

void DatafileSet::close() {
    for (const auto& datafile : files_) {
        try {
            datafile->file.close();
        } catch (const FileError&) {
            // A read-only descriptor's close has nothing left to lose.
        }
    }
}

void DatafileSet::forget() {
    files_.clear();
    system_ = 0;
}

std::optional<DatafileRefusal> DatafileSet::foreignFile() const {
    const Datafile& systemFile = system();
    if (files_.size() < 2 || !systemFile.header) return std::nullopt;
    for (const auto& file : files_) {
        if (!file->header || file->header->databaseId != systemFile.header->databaseId)
            return DatafileRefusal{DatafileRefusal::Kind::OtherDatabase, file->path,
                                   "it belongs to another database: database id " +
                                       std::to_string(file->header ? file->header->databaseId : 0) +
                                       ", the SYSTEM file's is " + std::to_string(systemFile.header->databaseId)};
        if (file->byteOrder != systemFile.byteOrder)
            return DatafileRefusal{DatafileRefusal::Kind::OtherByteOrder, file->path,
                                   std::string("it belongs to another database: its integers are ") +
                                       byteOrderName(file->byteOrder) + ", the SYSTEM file's are " +
                                       byteOrderName(systemFile.byteOrder)};
    }
    return std::nullopt;
}

std::optional<std::uint16_t> DatafileSet::fileAddressed(std::uint16_t fromFile, std::uint32_t ownRelativeFile,
                                                        std::uint32_t address) const {
    const std::uint32_t relativeFile = address >> kRelativeFileShift;
    if (relativeFile == ownRelativeFile) return fromFile;
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (files_[i]->header && files_[i]->header->relativeFileNumber == relativeFile)
            return static_cast<std::uint16_t>(i);
    return std::nullopt;
}

}  // namespace restorix
