#include "platform/install_paths.h"

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/settings_store.h"

#ifndef RESTORIX_SOURCE_SHARE_DIR
#define RESTORIX_SOURCE_SHARE_DIR ""
#endif

namespace restorix {

namespace {

// An installed program lives in <prefix>/bin and its files in <prefix>/share/restorix.
std::filesystem::path installedShareFolder(const std::filesystem::path& executable) {
    if (executable.empty()) return {};
    return executable.parent_path().parent_path() / "share" / "restorix";
}

bool isFolder(const std::filesystem::path& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

}  // namespace

std::filesystem::path executablePath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self;
}

std::filesystem::path userBaseFolder(std::string_view variable, std::string_view homeDefault) {
    // Relative values are ignored, as the base-directory convention asks.
    if (const char* value = std::getenv(std::string(variable).c_str())) {
        const std::filesystem::path base(value);
        if (base.is_absolute()) return base;
    }
    const char* home = std::getenv("HOME");
    if (!home || *home == '\0') return {};
    return std::filesystem::path(home) / homeDefault;
}

std::string chooseInstallFolder(std::string_view filePathSetting,
                                const std::filesystem::path& executable,
                                const std::filesystem::path& sourceShareFolder) {
    if (!filePathSetting.empty()) return std::string(filePathSetting);
    if (const auto installed = installedShareFolder(executable); isFolder(installed))
        return installed.lexically_normal().string();
    return sourceShareFolder.string();
}

std::string installFolder() {
    return chooseInstallFolder(readSetting(kFilePathSetting), executablePath(),
                               RESTORIX_SOURCE_SHARE_DIR);
}

}  // namespace restorix
