#pragma once
// The activity log "Activity Log.txt": one plain-text file in the code page,
// appended one text at a time by the user-interface thread and the worker jobs.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace restorix {

inline constexpr std::string_view kActivityLogFileName = "Activity Log.txt";
// A log larger than this is deleted before the next append; one of exactly
// this size is still appended to.
inline constexpr std::uintmax_t kActivityLogSizeLimit = 5 * 1024 * 1024;
// One text goes through a 200-byte buffer with its terminating zero.
inline constexpr std::size_t kLogTextBufferSize = 200;
inline constexpr std::size_t kMaxLogTextBytes = kLogTextBufferSize - 1;

// Whatever takes log texts: the activity log itself, or a recorder in tests.
class LogSink {
public:
    virtual ~LogSink() = default;
    // Appends exactly the given UTF-8 text (no line end is added); true when written.
    virtual bool appendLog(std::string_view text) = 0;
};

// The two installation settings that place the log.
struct LogSettings {
    std::string logPath;   // "LogPath"
    std::string filePath;  // "FilePath"
};
using LogSettingsSource = std::function<LogSettings()>;

// The settings as the settings store holds them now.
LogSettings readLogSettings();

// The folder used when neither setting names one:
// $XDG_STATE_HOME/restorix, or ~/.local/state/restorix.
std::filesystem::path defaultLogFolder();

// The log's folder for these settings: "LogPath" when it names an existing
// folder, else "FilePath" when set, else defaultLogFolder().
std::filesystem::path logFolder(const LogSettings& settings);

// The code-page bytes of one text as they go into the log: up to the first
// zero byte, and at most kMaxLogTextBytes of them. A longer text keeps only
// its first kMaxLogTextBytes bytes; since the code page has one byte per
// character, no character is ever split.
std::string logTextBytes(std::string_view utf8);

class ActivityLog : public LogSink {
public:
    // Reads the settings store afresh for every append.
    ActivityLog();
    // Takes the settings from the given source (tests point it at temporary folders).
    explicit ActivityLog(LogSettingsSource settings);

    // Opens, appends and closes the file for every text so that the log is
    // complete on disk at any moment, even when the process ends abruptly.
    // Safe to call from several threads: no text is lost.
    bool appendLog(std::string_view text) override;

    // Where the next text goes; the settings are read again for every call.
    std::filesystem::path logFilePath() const;

private:
    LogSettingsSource settings_;
};

// The copy of the log that View Log opens: always the one in the installation
// folder, whichever folder the appends go to.
std::filesystem::path viewLogPath(std::string_view installFolder);

// Clear Log answered Yes: delete the installation folder's copy, then append a
// line break, which starts a new log in the log's folder.
bool clearActivityLog(LogSink& log, std::string_view installFolder);

}  // namespace restorix
