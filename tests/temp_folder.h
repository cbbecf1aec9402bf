#pragma once
// A folder of the test's own: made with mkdtemp under TMPDIR (or the system's
// temporary folder), so that tests ctest runs side by side, and two runs of
// the suite at once, never share one. Removed with everything in it by its
// owner alone, when the owner ends.

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

namespace restorix::test {

class TempFolder {
public:
    // `prefix` names the test in the folder's name, for whoever finds one left over.
    explicit TempFolder(std::string_view prefix = "restorix-test-") {
        // temp_directory_path reads TMPDIR first.
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The whole of a file's bytes; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace restorix::test
