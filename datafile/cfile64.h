#pragma once
// The datafile reader: exclusive read-only access with 64-bit positions.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace restorix {

// A failing seek, read, length, position or close; carries errno, and its
// text ends with the system's reason.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& what, int errorCode)
        : std::runtime_error(what), errorCode_(errorCode) {}
    int errorCode() const { return errorCode_; }

private:
    int errorCode_;
};

// Which reads fail as a bad sector fails them: given the position and length
// of one read call, true when that call is to fail with EIO. The tests stand
// in for a damaged disk with one; a file without one reads as the system does.
using ReadFaults = std::function<bool(std::int64_t position, std::size_t length)>;

class CFile64 {
public:
    CFile64() = default;
    ~CFile64();
    CFile64(const CFile64&) = delete;
    CFile64& operator=(const CFile64&) = delete;

    // Why the file cannot be a datafile: the system's reason when it cannot
    // be looked at, or its kind when it is neither a regular file nor a
    // block device (a folder, a FIFO...). Nothing when it may be opened.
    static std::optional<std::string> refusalReason(const std::string& fileName);

    // Opens read-only and takes an exclusive flock and an fcntl read lock, so
    // a second open of the same file (by this or another process) fails while
    // this one holds it, and so does a file a writer holds with either kind
    // of lock (both are advisory: a writer that takes none is not seen). Only a
    // regular file or a block device is opened, and a FIFO never blocks it.
    // On failure returns false and leaves errno in *errorCode when given.
    bool open(const std::string& fileName, int* errorCode = nullptr);
    std::int64_t seek(std::int64_t position, int origin = 0);
    std::size_t read(void* buffer, std::size_t count);
    // Reads at an absolute position without moving the current position.
    std::size_t readAt(std::int64_t position, std::span<std::uint8_t> buffer) const;
    // readAt, but a read error of the disk (EIO, a bad sector) does not end
    // it: the range is read again `pieceSize` bytes at a time, each piece
    // that still fails is zero-filled and onUnreadable(its position) is
    // called, and the rest is read. Other failures raise FileError as readAt does.
    std::size_t readAtSkippingBadPieces(std::int64_t position, std::span<std::uint8_t> buffer, std::size_t pieceSize,
                                        const std::function<void(std::int64_t)>& onUnreadable) const;
    // Tells the system these bytes will be read soon, so that it reads them
    // from the disk ahead, in one sequential run. Only a hint: where it is
    // refused the reads still take place, one by one.
    void adviseReadAhead(std::int64_t position, std::int64_t length) const;
    std::int64_t length() const;
    std::int64_t position() const;
    void close();

    bool isOpen() const { return fd_ >= 0; }
    const std::string& fileName() const { return fileName_; }
    // Every read call of this file asks `faults` first; kept across close and open.
    void setReadFaults(ReadFaults faults) { readFaults_ = std::move(faults); }

private:
    // The one place a read system call is made.
    template <typename SystemRead>
    long readCall(std::int64_t position, std::size_t length, const SystemRead& systemRead) const;

    int fd_ = -1;
    ReadFaults readFaults_;
    bool closeOnDestroy_ = false;
    std::string fileName_;
};

}  // namespace restorix
