#pragma once
// The 1 GiB forge files the benchmarks run on, made once and kept.

#include <filesystem>
#include <string>

#include "platform/job_control.h"
#include "tools/forge/bench_scenarios.h"
#include "tools/forge/forge.h"

namespace restorix::bench {

// The benchmarks answer no message box.
class NoMessages : public MessageSink {
public:
    void showMessage(std::string_view, std::string_view) override {}
};

constexpr unsigned long long kBenchFileSize = 1ull << 30;

// Folder for benchmark files: $RESTORIX_BENCH_DIR, else ./bench-data.
inline std::filesystem::path benchFolder() {
    const char* env = std::getenv("RESTORIX_BENCH_DIR");
    std::filesystem::path folder = env && *env ? env : "bench-data";
    std::filesystem::create_directories(folder);
    return std::filesystem::absolute(folder);
}

enum class BenchContent { Plain, Dictionary, BigTable, Everything };

// Writes the file unless one of the right size is there already.
inline std::string benchDatafile(BenchContent content) {
    static const char* names[] = {"plain", "dictionary", "bigtable", "everything"};
    const auto path = benchFolder() / (std::string("SYSTEM_") + names[static_cast<int>(content)] + ".DBF");
    std::error_code ec;
    if (std::filesystem::file_size(path, ec) == kBenchFileSize) return path.string();
    forge::Scenario scenario;
    scenario.user("SYS", 0);
    forge::WriteOptions options;
    options.release = 10;
    options.fileSize = kBenchFileSize;
    if (content == BenchContent::Dictionary || content == BenchContent::Everything) {
        forge::addBenchDictionary(scenario);
    }
    if (content == BenchContent::BigTable || content == BenchContent::Everything) {
        options.bulkTable = forge::addBenchTable(scenario);
    }
    forge::writeDatafile(scenario, path.string(), options);
    return path.string();
}

}  // namespace restorix::bench
