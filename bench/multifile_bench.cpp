// restorix recover --schemas all on a database of several files: a 1 GiB
// SYSTEM01.DBF (the dictionary, then unrelated segments) and 2 GiB of 16K
// data files whose every block holds rows, against one read of all files plus
// one copy of the output folder it wrote; and the bytes the program read, to
// be set against the files' size.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"

using namespace restorix;
using namespace restorix::bench;
namespace fs = std::filesystem;

namespace {

constexpr double kTargetRatio = 2.0;
constexpr unsigned long long kDataBytes = 2ull << 30;
constexpr unsigned long long kOutputRoom = 14ull << 30;  // the output folder (6.2 GiB) and its copy

Measurement recoverOnce(const std::vector<std::string>& files, const fs::path& output) {
    fs::remove_all(output);
    fs::create_directories(output);
    std::vector<std::string> arguments{"recover"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    arguments.insert(arguments.end(), {"--schemas", "all", "--output", output.string()});
    settleWrites();
    return measureProgram(arguments);
}

}  // namespace

int main() {
    const fs::path folder = benchFolder();
    requireFreeSpace(folder.string(), kBenchFileSize + kDataBytes + kOutputRoom);
    forge::SparseDatabaseOptions options;
    options.totalSize = kDataBytes;
    options.tableCount = 40;
    options.blockSize = 16384;
    options.filled = true;
    options.rowsPerBlock = 400;
    options.systemSize = kBenchFileSize;
    const BenchDatabase database = benchDatabase("multifile-3G", options);
    const fs::path output = folder / "multifile-out";
    const fs::path copy = folder / "multifile-copy";
    const std::string cat = "cat" + shellWords(database.files) + " > /dev/null";
    timeShell(cat);  // warm the page cache

    std::vector<double> runs, baselines;
    std::vector<long> peaks, readMiB;
    std::uintmax_t outputBytes = 0;
    for (int run = 0; run < 3; ++run) {
        const Measurement m = recoverOnce(database.files, output);
        runs.push_back(m.seconds);
        peaks.push_back(m.peakKiB);
        readMiB.push_back(static_cast<long>(m.readBytes >> 20));
        outputBytes = folderBytes(output);
        fs::remove_all(copy);
        settleWrites();
        baselines.push_back(timeShell(cat) +
                            timeShell("cp -r " + shellQuote(output.string()) + " " + shellQuote(copy.string())));
    }
    fs::remove_all(copy);
    fs::remove_all(output);
    const double recover = median(runs), baseline = median(baselines);
    const long readAll = medianLong(readMiB), filesMiB = static_cast<long>(database.bytes >> 20);
    std::printf("%zu files, %ld MiB; %d tables of %lld rows; output folder: %.1f MiB\n", database.files.size(),
                filesMiB, options.tableCount, static_cast<long long>(database.rowsPerTable),
                outputBytes / 1048576.0);
    std::printf("restorix recover --schemas all: %.3f s (median of 3)\n", recover);
    std::printf("read + cp -r of the output:     %.3f s (median of 3)\n", baseline);
    std::printf("bytes read (rchar): %ld MiB of %ld MiB of files (%.2f)\n", readAll, filesMiB,
                static_cast<double>(readAll) / static_cast<double>(filesMiB));
    printRatio(recover, baseline, kTargetRatio);
    std::printf("peak memory: %.1f MiB (target <= 256)\n", medianLong(peaks) / 1024.0);
    return 0;
}
