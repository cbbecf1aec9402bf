#include "output/output_files.h"

#include <fstream>
#include <system_error>

#include "platform/codepage.h"

namespace restorix {
namespace {

namespace fs = std::filesystem;

// Writes bytes at the end of the file; `create` decides whether a missing file
// is made. Every write opens, appends and closes, so the output on disk is
// complete after each statement even if the process ends abruptly.
bool appendBytes(const fs::path& path, std::string_view bytes, bool create) {
    std::error_code ec;
    if (!create && !fs::is_regular_file(path, ec)) return false;
    std::ofstream file(path, std::ios::binary | std::ios::app);
    if (!file) return false;
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
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

bool createScriptFile(const fs::path& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file.close();
    return !file.fail();
}

bool appendScriptText(const fs::path& path, std::string_view text) {
    return appendBytes(path, toCodePage(text), /*create=*/false);
}

void appendCommitLine(const fs::path& outputRoot, std::string_view text) {
    const std::string converted = toCodePage(text);
    const std::string_view bytes = upToFirstZero(converted);
    if (bytes.size() > kCommitTextLimit) return;
    appendBytes(outputRoot / fs::path(std::string(kCommitBatName)), bytes, /*create=*/true);
}

void createOutputFolder(const fs::path& path) {
    std::error_code ignored;
    fs::create_directory(path, ignored);
}

void ScriptOutput::checkpoint() {
    if (!control_.proceed()) throw SavingStopped{};
}

void ScriptOutput::commitLine(std::string_view text) {
    checkpoint();
    appendCommitLine(root_, text);
}

void ScriptOutput::createFolder(const fs::path& path) {
    checkpoint();
    createOutputFolder(path);
}

void ScriptOutput::createScript(const fs::path& path) {
    checkpoint();
    if (!createScriptFile(path)) throw TargetFileError(path);
}

void ScriptOutput::createOptionalFile(const fs::path& path) {
    checkpoint();
    createScriptFile(path);
}

bool ScriptOutput::append(const fs::path& path, std::string_view text) {
    checkpoint();
    return appendScriptText(path, text);
}

void ScriptOutput::appendRequired(const fs::path& path, std::string_view text) {
    if (!append(path, text)) throw TargetFileError(path);
}

void ScriptOutput::appendCreating(const fs::path& path, std::string_view text) {
    checkpoint();
    appendBytes(path, toCodePage(text), /*create=*/true);
}

}  // namespace restorix
