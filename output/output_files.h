#pragma once
// The files of the output folder: how every script and batch file is created
// and appended to, and the guarded writer through which the saving job makes
// every write (it stops at once after a confirmed Stop, and a file that cannot
// be created or written ends the whole job).
//
// Texts are UTF-8 inside the program; every byte written goes through
// toCodePage. Relative script paths are kept as the batch files write them,
// with Windows backslashes; on disk they use this system's separator.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "output/batch_files.h"
#include "platform/job_control.h"
#include "tabledata/data_script_writer.h"

namespace restorix {

inline constexpr std::string_view kCommitBatName = "Commit.bat";
inline constexpr std::string_view kImportBatName = "Import.bat";
// A Commit.bat text longer than this, once converted, is refused as a failed
// write: a replay line cut short would start sqlplus with a wrong script path,
// and one left out would lose its script from the replay.
inline constexpr std::size_t kCommitTextLimit = 200;

inline constexpr std::string_view kCannotOpenTargetFileMessage = "Cannot open target file";
inline constexpr std::string_view kCannotOpenTargetFileCaption = "Attention!";

// outputRoot followed by a relative path written with backslashes
// ("Users\Users.sql"), as a path of this system.
std::filesystem::path outputPath(const std::filesystem::path& outputRoot, std::string_view windowsRelativePath);

// Every function below raises OutputFileError, naming the file and the
// system's reason, when a file or folder cannot be created or written: the
// saving job ends at the first such failure.

// Creates the file, or truncates it, writes the text (converted to the code
// page) and closes it.
void writeTextFile(const std::filesystem::path& path, std::string_view text);

// Creates the file, or truncates it, and closes it.
void createScriptFile(const std::filesystem::path& path);

// Appends the text (converted to the code page) at the end of an existing
// file; the file is never created here.
void appendScriptText(const std::filesystem::path& path, std::string_view text);

// Appends the text exactly as given (no line end added) to outputRoot's
// Commit.bat, creating it when missing.
void appendCommitLine(const std::filesystem::path& outputRoot, std::string_view text);

// Creates the file, or truncates it, writes the bytes as given (no code page)
// and makes it executable: mode 0755 whatever the umask.
void writeExecutableFile(const std::filesystem::path& path, std::string_view bytes);

// Appends the bytes as given to an existing file.
void appendRawText(const std::filesystem::path& path, std::string_view bytes);

// Creates one folder; an existing folder is reused.
void createOutputFolder(const std::filesystem::path& path);

// Raised inside the saving job at the first write after a confirmed Stop.
struct SavingStopped {};

// Every write of the saving job goes through here: each call first waits
// while the job is paused and raises SavingStopped once Stop was confirmed,
// so nothing is written after that.
class ScriptOutput {
public:
    ScriptOutput(std::filesystem::path outputRoot, JobControl& control)
        : root_(std::move(outputRoot)), control_(control) {}

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(std::string_view windowsRelativePath) const {
        return outputPath(root_, windowsRelativePath);
    }

    // The stop point: blocks while paused, raises SavingStopped after Stop.
    void checkpoint();

    // Each raises OutputFileError as the function of the same purpose above.
    void createExecutable(const std::filesystem::path& path, std::string_view bytes);
    void createFolder(const std::filesystem::path& path);
    void createScript(const std::filesystem::path& path);
    // Creates a SQL script, or truncates it, holding its first line, kSqlScriptHead.
    void createSqlScript(const std::filesystem::path& path);
    void append(const std::filesystem::path& path, std::string_view text);
    // Appends, creating the file first when it does not exist (data scripts).
    void appendCreating(const std::filesystem::path& path, std::string_view text);

    // Starts the two replay files: Commit.bat with its header, and commit.sh,
    // executable, with its own; NLS_LANG as the character set asks.
    void startReplay(std::string_view characterSet);
    // Lists completed scripts in Commit.bat and commit.sh at one stop point,
    // so that a Stop never leaves one file listing what the other does not.
    void replay(const ReplayEntries& entries);

    // One text per appended script text that kept lines longer than sqlplus
    // reads (stored code without a blank to break them at), for the saving
    // job to log and show.
    const std::vector<std::string>& lineWarnings() const { return lineWarnings_; }

    // Whether the scripts write the name changed (its control characters as
    // "_", see hasControlCharacter); when they do, a text for the log naming
    // the kind of object, its stored bytes in hexadecimal and the identifier
    // written instead is kept.
    bool noteWrittenName(std::string_view kind, std::string_view name, std::string_view written);
    const std::vector<std::string>& nameChanges() const { return nameChanges_; }

private:
    std::vector<std::string> lineWarnings_;
    std::vector<std::string> nameChanges_;
    std::filesystem::path root_;
    JobControl& control_;
};

}  // namespace restorix
