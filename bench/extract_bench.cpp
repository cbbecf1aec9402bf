// Saving-mode extraction of one big table into its data script, against the
// least work that job needs: one read of the datafile and one write of as
// many bytes as the script has.
//
//     bench_extract_bench [FOLDER]   (default: $RESTORIX_BENCH_DIR, else ./bench-data)
//
// The 1 GiB datafile is forged on the first run and reused afterwards. With
// RESTORIX_BENCH_KEEP_SCRIPT set, the last run's script is kept (as
// BIG_TABLEData.sql in the folder) so that its bytes can be compared between
// builds.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"
#include "dictionary/analysis_job.h"
#include "output/sql_names.h"
#include "tabledata/row_reader.h"
#include "tools/forge/bench_scenarios.h"
#include "tools/forge/forge.h"

using namespace restorix;
namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t kDatafileSize = 1ull << 30;
// The datafile, the script (about twice the datafile) and its copy.
constexpr std::uint64_t kFreeSpaceNeeded = 8ull << 30;
constexpr int kRuns = 3;
constexpr double kTargetRatio = 3.0;

class SilentMessages : public MessageSink {
public:
    void showMessage(std::string_view text, std::string_view) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
};

void forgeDatafile(const fs::path& path) {
    if (fs::exists(path) && fs::file_size(path) == kDatafileSize) {
        std::printf("reusing %s\n", path.c_str());
        return;
    }
    std::printf("forging %s (1 GiB)...\n", path.c_str());
    std::fflush(stdout);
    forge::Scenario scenario;
    scenario.user("SYS", 0).table("OBJ_COPY").column("X", "NUMBER").row({"1"});
    forge::WriteOptions options;
    options.release = 10;
    options.fileSize = kDatafileSize;
    options.bulkTable = forge::addBenchTable(scenario);
    const fs::path partial = path.string() + ".part";
    forge::writeDatafile(scenario, partial.string(), options);
    fs::rename(partial, path);
}

const ObjectEntry* findBigTable(const Catalog& catalog) {
    for (const ObjectEntry& object : catalog.objectList)
        if (object.name == "BIG_TABLE" && object.type() == kTable) return &object;
    return nullptr;
}

// Statements in the script: one commit line each.
std::uint64_t countStatements(const fs::path& script) {
    constexpr std::string_view kCommit = "\r\nCommit;\r\n";
    std::ifstream in(script, std::ios::binary);
    std::vector<char> buffer(1 << 22);
    std::string carry;
    std::uint64_t count = 0;
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        std::string chunk = carry + std::string(buffer.data(), static_cast<std::size_t>(in.gcount()));
        std::size_t at = 0;
        while ((at = chunk.find(kCommit, at)) != std::string::npos) {
            ++count;
            at += kCommit.size();
        }
        carry = chunk.size() >= kCommit.size() ? chunk.substr(chunk.size() - (kCommit.size() - 1)) : chunk;
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : bench::benchFolder();
    fs::create_directories(folder);
    bench::requireFreeSpace(folder.string(), kFreeSpaceNeeded);

    const fs::path datafile = folder / "BENCH_SYSTEM01.DBF";
    const fs::path script = folder / "BIG_TABLEData.sql";
    const fs::path copy = folder / "BIG_TABLEData.copy";
    forgeDatafile(datafile);

    Recovery recovery;
    if (recovery.database.datafiles.open({datafile.string()})) {
        std::fprintf(stderr, "cannot open %s\n", datafile.c_str());
        return 1;
    }
    recovery.options = RecoveryOptions(RecoveryOption::AllButSys);
    ProgressSink silentProgress;
    SilentMessages messages;
    if (runAnalysis(recovery, silentProgress, messages, "") != AnalysisResult::analysisCompleted) return 1;
    const ObjectEntry* table = findBigTable(recovery.catalog);
    if (table == nullptr) {
        std::fprintf(stderr, "BIG_TABLE not found by the analysis\n");
        return 1;
    }
    const std::size_t tableBlocks = recovery.database.blockIndex.blockCountOf(table->dataObjectNumber);
    std::printf("BIG_TABLE: %zu blocks\n", tableBlocks);

    const std::string quotedDatafile = bench::shellQuote(datafile.string());
    const std::string quotedScript = bench::shellQuote(script.string());
    const std::string quotedCopy = bench::shellQuote(copy.string());
    bench::timeShell("cat " + quotedDatafile + " > /dev/null");  // warm the page cache

    std::vector<double> extractSeconds, extractCpuSeconds, baselineSeconds;
    std::vector<long> peaks;
    double load[1] = {0};
    getloadavg(load, 1);
    std::printf("load average before the runs: %.1f on %u cores\n", load[0], std::thread::hardware_concurrency());
    std::fflush(stdout);  // the child would print what is still buffered
    for (int run = 0; run < kRuns; ++run) {
        fs::remove(script);
        bench::settleWrites();
        const bench::Measurement m = bench::measureInChild([&] {
            SavingState saving;
            saving.currentSchema = "BENCH";
            saving.currentTable = "BIG_TABLE";
            saving.qualifiedTable = qualifiedTableName("BENCH", "BIG_TABLE");
            saving.currentDataFile = script;
            saving.overallTotal = 2;
            saving.skipPause = std::chrono::milliseconds(0);
            RowList rowList;
            readTableRows(recovery.database, recovery.catalog, table->objectNumber, rowList, saving);
            return 0;
        });
        extractSeconds.push_back(m.seconds);
        extractCpuSeconds.push_back(m.cpuSeconds);
        peaks.push_back(m.peakKiB);
        bench::settleWrites();
        const double read = bench::timeShell("cat " + quotedDatafile + " > /dev/null");
        const double write = bench::timeShell("cat " + quotedScript + " > " + quotedCopy);
        fs::remove(copy);
        baselineSeconds.push_back(read + write);
        std::printf("run %d: extract %.2f s (%.2f s of CPU), read + write %.2f s (%.2f + %.2f)\n", run + 1, m.seconds,
                    extractCpuSeconds.back(), read + write, read, write);
        std::fflush(stdout);
    }

    const std::uint64_t rows = countStatements(script);
    const double extract = bench::median(extractSeconds);
    const double baseline = bench::median(baselineSeconds);
    const double ratio = extract / baseline;
    std::printf("script: %llu bytes, %llu rows\n", static_cast<unsigned long long>(fs::file_size(script)),
                static_cast<unsigned long long>(rows));
    std::printf("extract (median of %d): %.2f s, %.2f s of CPU; read + write baseline: %.2f s\n", kRuns, extract,
                bench::median(extractCpuSeconds), baseline);
    bench::printRatio(extract, baseline, kTargetRatio);
    std::printf("rows per second: %.0f\n", static_cast<double>(rows) / extract);
    std::printf("peak memory of the extraction: %ld MiB\n", bench::medianLong(peaks) / 1024);
    const char* keep = std::getenv("RESTORIX_BENCH_KEEP_SCRIPT");
    if (keep && *keep)
        std::printf("script kept: %s\n", script.c_str());
    else
        fs::remove(script);
    return ratio <= kTargetRatio ? 0 : 1;
}
