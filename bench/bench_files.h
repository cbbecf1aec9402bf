#pragma once
// The forge files the benchmarks run on, made once and kept: 1 GiB single
// files and databases of several files.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/job_control.h"
#include "tools/forge/bench_scenarios.h"
#include "tools/forge/forge.h"
#include "tools/forge/multifile.h"

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

struct BenchDatabase {
    std::vector<std::string> files;  // SYSTEM01.DBF first
    std::uint64_t bytes = 0;         // of all files, holes counted
    std::int64_t rowsPerTable = 0;
};

// A forged database in folder `name` of the benchmark folder, written unless
// a complete one is there. The mark of completion is written last, so a set
// cut short is written again; it keeps the rows per table.
inline BenchDatabase benchDatabase(const std::string& name, const forge::SparseDatabaseOptions& options) {
    const std::filesystem::path folder = benchFolder() / name;
    const std::filesystem::path mark = folder / "complete";
    if (!std::filesystem::exists(mark)) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        const forge::DatabaseSummary summary = forge::writeSparseDatabase(folder.string(), options);
        std::ofstream out(mark);
        out << summary.rowsPerTable << '\n';
        if (!out.flush()) throw std::runtime_error("cannot write " + mark.string());
    }
    BenchDatabase database;
    std::ifstream(mark) >> database.rowsPerTable;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".DBF") continue;
        database.files.push_back(entry.path().string());
        database.bytes += entry.file_size();
    }
    // SYSTEM01.DBF sorts after DATA*.DBF: put it first.
    std::sort(database.files.begin(), database.files.end(), [](const std::string& a, const std::string& b) {
        const bool aSystem = a.ends_with("SYSTEM01.DBF"), bSystem = b.ends_with("SYSTEM01.DBF");
        return aSystem != bSystem ? aSystem : a < b;
    });
    return database;
}

}  // namespace restorix::bench
