#include "activitylog/activity_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/codepage.h"
#include "platform/install_paths.h"
#include "platform/settings_store.h"

namespace restorix {

namespace {

constexpr mode_t kNewLogMode = 0644;

// Every ActivityLog of the process may write the same file, so they share one
// lock: an append never fails because another thread holds the file.
std::mutex& appendMutex() {
    static std::mutex mutex;
    return mutex;
}

struct LogLocation {
    std::filesystem::path folder;
    bool createWhenMissing = false;  // only the per-user default folder is made
};

bool isFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

LogLocation locateLog(const LogSettings& settings) {
    if (isFolder(settings.logPath)) return {settings.logPath, false};
    if (!settings.filePath.empty()) return {settings.filePath, false};
    return {defaultLogFolder(), true};
}

// The installer's log could be marked read-only; the owner must be able to write it.
void makeWritable(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::exists(file, error))
        std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, error);
}

class LogFile {
public:
    explicit LogFile(const std::filesystem::path& path)
        : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, kNewLogMode)) {}
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    bool exceedsSizeLimit() const {
        struct stat status {};
        return ::fstat(fd_, &status) == 0 &&
               static_cast<std::uintmax_t>(status.st_size) > kActivityLogSizeLimit;
    }

    bool writeAll(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) return false;
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // Closing can report a write that failed late (a full disk, for one).
    bool close() {
        if (fd_ < 0) return true;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0;
    }

private:
    int fd_;
};

enum class OversizedLog { Reset, Keep };

bool writeToLog(const std::filesystem::path& path, std::string_view bytes, OversizedLog oversized) {
    LogFile file(path);
    if (!file.isOpen()) return false;
    if (oversized == OversizedLog::Reset && file.exceedsSizeLimit()) {
        // Nothing of an oversized log survives: it is deleted and started anew.
        file.close();
        std::error_code error;
        if (!std::filesystem::remove(path, error)) return false;
        return writeToLog(path, bytes, OversizedLog::Keep);
    }
    return file.writeAll(bytes) && file.close();
}

}  // namespace

LogSettings readLogSettings() {
    return {readSetting(kLogPathSetting), readSetting(kFilePathSetting)};
}

std::filesystem::path defaultLogFolder() {
    const std::filesystem::path stateHome = userBaseFolder("XDG_STATE_HOME", ".local/state");
    return stateHome.empty() ? std::filesystem::path() : stateHome / "restorix";
}

std::filesystem::path logFolder(const LogSettings& settings) { return locateLog(settings).folder; }

std::string logTextBytes(std::string_view utf8) {
    std::string bytes = toCodePage(utf8);
    // The text ends at its first zero, as it would in the fixed buffer.
    if (const auto zero = bytes.find('\0'); zero != std::string::npos) bytes.resize(zero);
    // Longer texts are cut to what the buffer holds rather than dropped.
    if (bytes.size() > kMaxLogTextBytes) bytes.resize(kMaxLogTextBytes);
    return bytes;
}

ActivityLog::ActivityLog() : ActivityLog(readLogSettings) {}

ActivityLog::ActivityLog(LogSettingsSource settings) : settings_(std::move(settings)) {}

std::filesystem::path ActivityLog::logFilePath() const {
    const std::filesystem::path folder = logFolder(settings_());
    return folder.empty() ? folder : folder / kActivityLogFileName;
}

bool ActivityLog::appendLog(std::string_view text) {
    const std::string bytes = logTextBytes(text);
    std::lock_guard lock(appendMutex());

    const LogLocation location = locateLog(settings_());
    if (location.folder.empty()) return false;
    if (location.createWhenMissing) {
        std::error_code error;
        std::filesystem::create_directories(location.folder, error);
    }
    const std::filesystem::path path = location.folder / kActivityLogFileName;

    makeWritable(path);
    return writeToLog(path, bytes, OversizedLog::Reset);
}

std::filesystem::path viewLogPath(std::string_view installFolder) {
    return std::filesystem::path(installFolder) / kActivityLogFileName;
}

bool clearActivityLog(LogSink& log, std::string_view installFolder) {
    std::error_code error;
    std::filesystem::remove(viewLogPath(installFolder), error);  // a missing copy is no failure
    return log.appendLog("\r\n");
}

}  // namespace restorix
