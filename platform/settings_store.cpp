#include "platform/settings_store.h"

#include <cstdlib>
#include <fstream>
#include <ios>
#include <system_error>
#include <iterator>
#include <optional>

#include "platform/codepage.h"
#include "platform/install_paths.h"

namespace restorix {

namespace {

constexpr std::string_view kSettingsEnvironment = "RESTORIX_SETTINGS";
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

std::string environmentValue(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    return value ? std::string(value) : std::string();
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool isComment(std::string_view line) {
    return line.starts_with('#') || line.starts_with(';');
}

// Value names compare without regard to case, as the installer's store did.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The value of one "Name=value" line when the name matches.
std::optional<std::string_view> valueOfLine(std::string_view line, std::string_view name) {
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::string_view content = trimBlanks(line);
    if (content.empty() || isComment(content)) return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    if (!sameName(trimBlanks(line.substr(0, equals)), name)) return std::nullopt;
    return line.substr(equals + 1);
}

}  // namespace

std::filesystem::path settingsFilePath() {
    if (const std::string explicitFile = environmentValue(kSettingsEnvironment); !explicitFile.empty())
        return explicitFile;
    const std::filesystem::path configHome = userBaseFolder("XDG_CONFIG_HOME", ".config");
    if (configHome.empty()) return {};
    return configHome / "restorix" / "settings.ini";
}

std::string findSetting(std::string_view content, std::string_view name) {
    if (content.starts_with(kUtf8ByteOrderMark)) content.remove_prefix(kUtf8ByteOrderMark.size());
    // A name given twice: the last line wins, as a later line overrides an earlier one.
    std::optional<std::string_view> found;
    while (!content.empty()) {
        const auto end = content.find('\n');
        const std::string_view line = content.substr(0, end);
        if (auto value = valueOfLine(line, name)) found = value;
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    }
    if (!found || characterCount(*found) > kMaxSettingLength) return {};
    return std::string(*found);
}

std::string readSettingFrom(const std::filesystem::path& file, std::string_view name) {
    std::error_code error;
    if (file.empty() || !std::filesystem::is_regular_file(file, error)) return {};
    try {
        std::ifstream in(file, std::ios::binary);
        if (!in) return {};
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) return {};
        return findSetting(content, name);
    } catch (const std::ios_base::failure&) {
        // The stream library reports some read errors by throwing; they read as "no value".
        return {};
    }
}

std::string readSetting(std::string_view name) { return readSettingFrom(settingsFilePath(), name); }

}  // namespace restorix
