// restorix recover --schemas all on a 1 GiB file (a realistic dictionary and
// one big table, one name in seven beyond ASCII) against one read of the
// datafile plus one copy of the output folder it wrote; and the bytes the
// program read, to be set against the datafile's size.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"

using namespace restorix::bench;
namespace fs = std::filesystem;

namespace {

constexpr double kTargetRatio = 2.0;

Measurement recoverOnce(const std::string& datafile, const fs::path& output) {
    fs::remove_all(output);
    fs::create_directories(output);
    settleWrites();
    return measureProgram({"recover", datafile, "--schemas", "all", "--output", output.string()});
}

}  // namespace

int main() {
    const fs::path folder = benchFolder();
    requireFreeSpace(folder.string(), kBenchFileSize + (8ull << 30));
    const std::string datafile = benchDatafile(BenchContent::Everything);
    // With RESTORIX_BENCH_KEEP_OUTPUT set the last run's output folder stays,
    // so that two builds' outputs can be compared file by file.
    const char* keep = std::getenv("RESTORIX_BENCH_KEEP_OUTPUT");
    const fs::path output = folder / "recover-out";
    const fs::path copy = folder / "recover-copy";
    const std::string cat = "cat " + shellQuote(datafile) + " > /dev/null";
    timeShell(cat);

    std::vector<double> runs, cpuSeconds, systemSeconds, baselines, baselineSystemSeconds;
    std::vector<long> peaks;
    std::vector<long> readMiB;
    std::uintmax_t outputBytes = 0;
    for (int run = 0; run < 3; ++run) {
        const Measurement m = recoverOnce(datafile, output);
        runs.push_back(m.seconds);
        cpuSeconds.push_back(m.cpuSeconds);
        systemSeconds.push_back(m.systemSeconds);
        peaks.push_back(m.peakKiB);
        readMiB.push_back(static_cast<long>(m.readBytes >> 20));
        outputBytes = folderBytes(output);
        fs::remove_all(copy);
        settleWrites();
        const double systemBefore = childrenSystemSeconds();
        baselines.push_back(timeShell(cat) + timeShell("cp -r " + shellQuote(output.string()) + " " +
                                                       shellQuote(copy.string())));
        baselineSystemSeconds.push_back(childrenSystemSeconds() - systemBefore);
        // Each run's pair: the baseline's page-cache writes vary from run to run.
        std::printf("run %d: recover %.3f s (%.2f s of CPU, %.2f s of it system), "
                    "read + cp -r %.3f s (%.2f s system)\n",
                    run + 1, m.seconds, m.cpuSeconds, m.systemSeconds, baselines.back(), baselineSystemSeconds.back());
        std::fflush(stdout);
    }
    fs::remove_all(copy);
    if (keep && *keep)
        std::printf("output kept: %s\n", output.c_str());
    else
        fs::remove_all(output);
    const double recover = median(runs), baseline = median(baselines);
    std::printf("output folder: %.1f MiB\n", outputBytes / 1048576.0);
    std::printf("restorix recover --schemas all: %.3f s (median of 3), %.2f s of CPU (%.2f s system)\n", recover,
                median(cpuSeconds), median(systemSeconds));
    std::printf("read + cp -r of the output:     %.3f s (median of 3), %.2f s system\n", baseline,
                median(baselineSystemSeconds));
    std::printf("bytes read (rchar of /proc/<pid>/io, page-cache hits included): %ld MiB of a %llu MiB datafile\n",
                medianLong(readMiB), kBenchFileSize >> 20);
    printRatio(recover, baseline, kTargetRatio);
    std::printf("peak memory: %.1f MiB (target <= 256)\n", medianLong(peaks) / 1024.0);
    return 0;
}
