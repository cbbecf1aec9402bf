#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/install_paths.h"
#include "platform/settings_store.h"

#include "tests/temp_folder.h"

using namespace restorix;
namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
using test::TempFolder;

// Sets (or unsets) an environment variable for one test and puts it back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string repeated(std::string_view text, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) result += text;
    return result;
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

}  // namespace

struct SettingCase {
    const char* what;
    std::string content;
    std::string name;
    std::string expected;
};
class SettingsFile : public ::testing::TestWithParam<SettingCase> {};

TEST_P(SettingsFile, ReadsTheNamedValue) {
    EXPECT_EQ(findSetting(GetParam().content, GetParam().name), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SettingsFile,
    ::testing::Values(
        SettingCase{"both values", "FilePath=/opt/restorix\nLogPath=/var/log/rx\n", "LogPath", "/var/log/rx"},
        SettingCase{"CRLF line ends", "FilePath=/opt/restorix\r\nLogPath=/l\r\n", "FilePath", "/opt/restorix"},
        SettingCase{"last line without line end", "LogPath=/l\nFilePath=/opt/x", "FilePath", "/opt/x"},
        SettingCase{"missing value", "LogPath=/l\n", "FilePath", ""},
        SettingCase{"empty value", "FilePath=\n", "FilePath", ""},
        // A later line would override an earlier one, so these comments must be skipped.
        SettingCase{"comments and blanks", "FilePath=/c\n\n  \n# FilePath=/a\n;FilePath=/b\n", "FilePath", "/c"},
        SettingCase{"longer name is another value", "FilePathOld=/x\n", "FilePath", ""},
        SettingCase{"equals sign inside the value", "FilePath=/a=b\n", "FilePath", "/a=b"},
        SettingCase{"blanks inside the value are kept", "FilePath=/my folder/rx \n", "FilePath", "/my folder/rx "},
        SettingCase{"names ignore case", "filepath=/x\n", "FilePath", "/x"},
        SettingCase{"byte-order mark", "\xEF\xBB\xBF" "FilePath=/x\n", "FilePath", "/x"},
        SettingCase{"259 characters fit", "FilePath=" + repeated("a", 259) + "\n", "FilePath", repeated("a", 259)},
        SettingCase{"260 characters do not", "FilePath=" + repeated("a", 260) + "\n", "FilePath", ""},
        SettingCase{"259 two-byte characters fit", "FilePath=" + repeated("\u00E9", 259), "FilePath",
                    repeated("\u00E9", 259)},
        SettingCase{"260 two-byte characters do not", "FilePath=" + repeated("\u00E9", 260), "FilePath", ""}),
    [](const ::testing::TestParamInfo<SettingCase>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(SettingsStore, MissingFileReadsAsEmpty) {
    TempFolder temp;
    EXPECT_EQ(readSettingFrom(temp.path() / "none.ini", kFilePathSetting), "");
    EXPECT_EQ(readSettingFrom(temp.path(), kFilePathSetting), "");  // a folder, not a file
    EXPECT_EQ(readSettingFrom({}, kFilePathSetting), "");
}

TEST(SettingsStore, FileNamedByTheEnvironmentComesFirst) {
    TempFolder temp;
    writeFile(temp.path() / "chosen.ini", "FilePath=/from/variable\n");
    writeFile(temp.path() / "config" / "restorix" / "settings.ini", "FilePath=/from/config\n");
    ScopedEnvironment config("XDG_CONFIG_HOME", (temp.path() / "config").string());
    {
        ScopedEnvironment chosen("RESTORIX_SETTINGS", (temp.path() / "chosen.ini").string());
        EXPECT_EQ(readSetting(kFilePathSetting), "/from/variable");
    }
    ScopedEnvironment unset("RESTORIX_SETTINGS", std::nullopt);
    EXPECT_EQ(readSetting(kFilePathSetting), "/from/config");
}

TEST(SettingsStore, FallsBackToTheHomeConfigFolder) {
    TempFolder temp;
    ScopedEnvironment unset("RESTORIX_SETTINGS", std::nullopt);
    ScopedEnvironment home("HOME", temp.path().string());
    {
        ScopedEnvironment config("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(settingsFilePath(), temp.path() / ".config" / "restorix" / "settings.ini");
    }
    // A relative base folder is not honoured.
    ScopedEnvironment relative("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(settingsFilePath(), temp.path() / ".config" / "restorix" / "settings.ini");
}

TEST(InstallFolder, SettingWinsOverEverything) {
    TempFolder temp;
    fs::create_directories(temp.path() / "share" / "restorix");
    EXPECT_EQ(chooseInstallFolder("/opt/rx", temp.path() / "bin" / "restorix", "/src/share/restorix"), "/opt/rx");
}

TEST(InstallFolder, InstalledShareFolderBesideTheProgram) {
    TempFolder temp;
    fs::create_directories(temp.path() / "share" / "restorix");
    EXPECT_EQ(fs::path(chooseInstallFolder("", temp.path() / "bin" / "restorix", "/src/share/restorix")),
              temp.path() / "share" / "restorix");
}

TEST(InstallFolder, SourceTreeFolderWhenNotInstalled) {
    TempFolder temp;
    EXPECT_EQ(chooseInstallFolder("", temp.path() / "bin" / "restorix", "/src/share/restorix"),
              "/src/share/restorix");
    EXPECT_EQ(chooseInstallFolder("", {}, "/src/share/restorix"), "/src/share/restorix");
}

TEST(InstallFolder, BuildTreeProgramUsesTheSourceTreeFiles) {
    TempFolder temp;
    writeFile(temp.path() / "settings.ini", "LogPath=/tmp\n");
    ScopedEnvironment chosen("RESTORIX_SETTINGS", (temp.path() / "settings.ini").string());
    EXPECT_EQ(fs::path(installFolder()), fs::path(RESTORIX_SOURCE_DIR) / "share" / "restorix");
    EXPECT_EQ(executablePath().filename(), "restorix_tests");
}
