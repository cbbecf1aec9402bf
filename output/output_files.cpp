#include "output/output_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "output/code_statements.h"
#include "output/shell_files.h"
#include "output/sql_names.h"
#include "output/sqlplus_lines.h"
#include "platform/codepage.h"

namespace restorix {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kOutputFileMode = 0666;  // less the user's umask
constexpr mode_t kExecutableFileMode = 0755;

// Opens with `flags`, writes the bytes and closes; every step is checked, the
// close included (some file systems report a full disk only there). Every
// write opens, appends and closes, so the output on disk is complete after
// each statement even if the process ends abruptly.
void writeFile(const fs::path& path, std::string_view bytes, int flags) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | flags, kOutputFileMode);
    if (fd < 0) throw OutputFileError(path, errno);
    try {
        writeAllBytes(fd, bytes, path);
    } catch (const OutputFileError&) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0) throw OutputFileError(path, errno);
}

// The bytes of a converted text up to its first zero byte.
std::string_view upToFirstZero(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

}  // namespace

fs::path outputPath(const fs::path& outputRoot, std::string_view windowsRelativePath) {
    fs::path out = outputRoot;
    std::size_t start = 0;
    while (start <= windowsRelativePath.size()) {
        const std::size_t end = windowsRelativePath.find('\\', start);
        const std::string_view part = windowsRelativePath.substr(start, end - start);
        if (!part.empty()) out /= fs::path(std::string(part));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return out;
}

void writeTextFile(const fs::path& path, std::string_view text) {
    writeFile(path, toCodePage(text), O_CREAT | O_TRUNC);
}

void createScriptFile(const fs::path& path) { writeTextFile(path, {}); }

void appendScriptText(const fs::path& path, std::string_view text) {
    writeFile(path, toCodePage(text), O_APPEND);
}

void appendCommitLine(const fs::path& outputRoot, std::string_view text) {
    const fs::path commitBat = outputRoot / fs::path(std::string(kCommitBatName));
    const std::string converted = toCodePage(text);
    const std::string_view bytes = upToFirstZero(converted);
    if (bytes.size() > kCommitTextLimit) {
        throw OutputFileError(commitBat, "a line of " + std::to_string(bytes.size()) + " bytes is longer than the " +
                                             std::to_string(kCommitTextLimit) + " a line may have (a shorter output folder path helps)");
    }
    writeFile(commitBat, bytes, O_APPEND | O_CREAT);
}

void writeExecutableFile(const fs::path& path, std::string_view bytes) {
    writeFile(path, bytes, O_CREAT | O_TRUNC);
    if (::chmod(path.c_str(), kExecutableFileMode) != 0) throw OutputFileError(path, errno);
}

void appendRawText(const fs::path& path, std::string_view bytes) { writeFile(path, bytes, O_APPEND); }

void createOutputFolder(const fs::path& path) {
    std::error_code ec;
    if (fs::create_directory(path, ec)) return;
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) return;
    throw OutputFileError(path, ec ? ec.message() : std::string("it exists and is not a folder"));
}

void ScriptOutput::checkpoint() {
    if (!control_.proceed()) throw SavingStopped{};
}

void ScriptOutput::startReplay(std::string_view characterSet) {
    checkpoint();
    appendCommitLine(root_, commitBatHeader(characterSet));
    writeExecutableFile(root_ / kCommitShName, commitShHeader(characterSet));
}

void ScriptOutput::replay(const ReplayEntries& entries) {
    checkpoint();
    appendCommitLine(root_, commitBatLines(entries));
    appendRawText(root_ / kCommitShName, commitShLines(entries));
}

void ScriptOutput::createExecutable(const fs::path& path, std::string_view bytes) {
    checkpoint();
    writeExecutableFile(path, bytes);
}

void ScriptOutput::createFolder(const fs::path& path) {
    checkpoint();
    createOutputFolder(path);
}

void ScriptOutput::createScript(const fs::path& path) {
    checkpoint();
    createScriptFile(path);
}

void ScriptOutput::createSqlScript(const fs::path& path) {
    checkpoint();
    writeTextFile(path, kSqlScriptHead);
}

bool ScriptOutput::noteWrittenName(std::string_view kind, std::string_view name, std::string_view written) {
    if (!hasControlCharacter(name)) return false;
    nameChanges_.push_back("warning: a " + std::string(kind) + " name holds control characters (stored bytes " +
                           hexBytes(name) + "); the scripts write it " + std::string(written));
    return true;
}

void ScriptOutput::append(const fs::path& path, std::string_view text) {
    checkpoint();
    appendScriptText(path, text);
    if (const std::size_t tooLong = linesTooLongForSqlplus(text))
        lineWarnings_.push_back("warning: " + path.string() + " keeps " + std::to_string(tooLong) +
                                " line(s) longer than " + std::to_string(kSqlplusLineLimit) +
                                " bytes with no blank outside quotes and comments to break them at");
}

void ScriptOutput::appendCreating(const fs::path& path, std::string_view text) {
    checkpoint();
    writeFile(path, toCodePage(text), O_APPEND | O_CREAT);
}

}  // namespace restorix
