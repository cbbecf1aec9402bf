#include "datafile/cfile64.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace restorix {

static_assert(sizeof(off_t) == 8, "datafiles above 4 GiB need 64-bit file offsets");

namespace {

constexpr int kSeekFromStart = 0;
constexpr int kSeekFromCurrent = 1;
constexpr int kSeekFromEnd = 2;

[[noreturn]] void fail(const char* operation, const std::string& fileName, int errorCode) {
    throw FileError(std::string(operation) + " failed on '" + fileName + "': " + std::strerror(errorCode), errorCode);
}

// What the file is, when it is nothing a datafile can be.
std::optional<std::string> kindRefused(mode_t mode) {
    if (S_ISREG(mode) || S_ISBLK(mode)) return std::nullopt;
    if (S_ISDIR(mode)) return "it is a folder";
    if (S_ISFIFO(mode)) return "it is a FIFO";
    if (S_ISSOCK(mode)) return "it is a socket";
    if (S_ISCHR(mode)) return "it is a character device";
    return "it is not a regular file";
}

// Reads until `count` bytes are in or the file ends, retrying what a signal
// interrupted; readSome(at, wanted, done) is one read or pread call.
template <typename ReadSome>
std::size_t readFully(std::uint8_t* bytes, std::size_t count, const std::string& fileName, const ReadSome& readSome) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = readSome(bytes + done, count - done, done);
        if (got < 0) {
            if (errno == EINTR) continue;
            fail("read", fileName, errno);
        }
        if (got == 0) break;  // end of file
        done += static_cast<std::size_t>(got);
    }
    return done;
}

// Both kinds of advisory lock a writer may hold: flock (whole file), and an
// fcntl record lock, which flock does not see. The read lock is an open file
// description lock, so that it is held by this open as the flock is, and
// conflicts with a write lock of any process, this one included. Either lock
// held elsewhere fails with EWOULDBLOCK.
int lockForReading(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return errno;
    struct flock wholeFile {};
    wholeFile.l_type = F_RDLCK;
    wholeFile.l_whence = SEEK_SET;  // from the start, with l_len 0: to the end, however it grows
    if (::fcntl(fd, F_OFD_SETLK, &wholeFile) == 0) return 0;
    // A conflicting record lock is told as EAGAIN or, on some systems, EACCES.
    return errno == EACCES ? EWOULDBLOCK : errno;
}

}  // namespace

template <typename SystemRead>
long CFile64::readCall(std::int64_t position, std::size_t length, const SystemRead& systemRead) const {
    if (readFaults_ && readFaults_(position, length)) {
        errno = EIO;
        return -1;
    }
    return static_cast<long>(systemRead());
}

CFile64::~CFile64() {
    if (closeOnDestroy_ && fd_ >= 0) ::close(fd_);
}

std::optional<std::string> CFile64::refusalReason(const std::string& fileName) {
    struct stat status {};
    if (::stat(fileName.c_str(), &status) != 0) return std::string(std::strerror(errno));
    return kindRefused(status.st_mode);
}

bool CFile64::open(const std::string& fileName, int* errorCode) {
    if (isOpen()) close();
    // Without blocking: a FIFO would otherwise wait for a writer for ever.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errorCode) *errorCode = errno;
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || kindRefused(status.st_mode)) {
        const int kindError = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
        ::close(fd);
        if (errorCode) *errorCode = kindError;
        return false;
    }
    // The locks belong to this open file description, so a second open of the
    // same file, in this process or another, cannot take them while we hold them.
    if (const int lockError = lockForReading(fd); lockError != 0) {
        ::close(fd);
        if (errorCode) *errorCode = lockError;
        return false;
    }
    fd_ = fd;
    closeOnDestroy_ = true;
    fileName_ = fileName;
    return true;
}

std::int64_t CFile64::seek(std::int64_t position, int origin) {
    std::int64_t target = position;
    if (origin == kSeekFromCurrent) {
        target += this->position();
    } else if (origin == kSeekFromEnd) {
        target += length();
    } else if (origin != kSeekFromStart) {
        fail("seek", fileName_, EINVAL);
    }
    // The target is always handed over as an absolute position.
    const off_t reached = ::lseek(fd_, static_cast<off_t>(target), SEEK_SET);
    if (reached < 0) fail("seek", fileName_, errno);
    return reached;
}

std::size_t CFile64::read(void* buffer, std::size_t count) {
    return readFully(static_cast<std::uint8_t*>(buffer), count, fileName_,
                     [this](std::uint8_t* at, std::size_t wanted, std::size_t) {
                         const auto systemRead = [&] { return ::read(fd_, at, wanted); };
                         return readFaults_ ? readCall(position(), wanted, systemRead) : systemRead();
                     });
}

std::size_t CFile64::readAt(std::int64_t position, std::span<std::uint8_t> buffer) const {
    return readFully(buffer.data(), buffer.size(), fileName_,
                     [this, position](std::uint8_t* at, std::size_t wanted, std::size_t done) {
                         const std::int64_t from = position + static_cast<std::int64_t>(done);
                         const auto systemRead = [&] { return ::pread(fd_, at, wanted, static_cast<off_t>(from)); };
                         return readCall(from, wanted, systemRead);
                     });
}

std::size_t CFile64::readAtSkippingBadPieces(std::int64_t position, std::span<std::uint8_t> buffer,
                                             std::size_t pieceSize,
                                             const std::function<void(std::int64_t)>& onUnreadable) const {
    const auto isBadSector = [](const FileError& error) { return error.errorCode() == EIO; };
    try {
        return readAt(position, buffer);
    } catch (const FileError& error) {
        if (!isBadSector(error)) throw;
    }
    std::size_t got = 0;
    for (std::size_t at = 0; at < buffer.size(); at += pieceSize) {
        const std::span<std::uint8_t> piece = buffer.subspan(at, std::min(pieceSize, buffer.size() - at));
        const std::int64_t piecePosition = position + static_cast<std::int64_t>(at);
        std::size_t pieceGot = 0;
        try {
            pieceGot = readAt(piecePosition, piece);
        } catch (const FileError& error) {
            if (!isBadSector(error)) throw;
            std::fill(piece.begin(), piece.end(), std::uint8_t{0});
            onUnreadable(piecePosition);
            pieceGot = piece.size();
        }
        got = at + pieceGot;
        if (pieceGot < piece.size()) break;  // end of file
    }
    return got;
}

void CFile64::adviseReadAhead(std::int64_t position, std::int64_t length) const {
    ::posix_fadvise(fd_, static_cast<off_t>(position), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

std::int64_t CFile64::length() const {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) fail("length", fileName_, errno);
    return status.st_size;
}

std::int64_t CFile64::position() const {
    const off_t current = ::lseek(fd_, 0, SEEK_CUR);
    if (current < 0) fail("position", fileName_, errno);
    return current;
}

void CFile64::close() {
    if (fd_ < 0) return;
    const int rc = ::close(fd_);
    const int closeError = errno;
    const std::string name = fileName_;
    fd_ = -1;
    closeOnDestroy_ = false;
    fileName_.clear();
    if (rc != 0) fail("close", name, closeError);
}

}  // namespace restorix
