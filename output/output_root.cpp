#include "output/output_root.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "output/sql_names.h"

namespace restorix {
namespace {

namespace fs = std::filesystem;

constexpr auto kRetryInterval = std::chrono::milliseconds(100);
// Enough waits to see the clock's second change several times over.
constexpr int kMaxNameAttempts = 50;

std::string replaced(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

}  // namespace

std::string outputRootName(std::string_view sourceTitle, const std::tm& moment) {
    return std::string(kOutputRootPrefix) + safeFileName(sourceTitle) + "_" +
           replaced(clockTime(moment), ':', '.') + "_" + replaced(clockDate(moment), '/', '-');
}

bool savingPathExists(const fs::path& chosenFolder) {
    std::error_code ec;
    return !chosenFolder.empty() && fs::is_directory(chosenFolder, ec);
}

void waitBriefly() { std::this_thread::sleep_for(kRetryInterval); }

std::optional<fs::path> createOutputRoot(const fs::path& chosenFolder, std::string_view sourceTitle,
                                         const Clock& clock, const RetryWait& wait) {
    for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
        if (attempt > 0) wait();
        const fs::path root = chosenFolder / outputRootName(sourceTitle, clock.now());
        std::error_code ec;
        if (fs::create_directory(root, ec)) return root;
        // A name taken by an earlier save: wait for the next second's name.
        if (fs::exists(root, ec)) continue;
        return root;
    }
    return std::nullopt;
}

}  // namespace restorix
