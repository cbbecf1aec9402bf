// The tree listing of every schema (restorix inspect --schemas all) on a
// 1 GiB file (a realistic dictionary and one big table) against one plain
// read of the same file.

#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"

using namespace restorix::bench;

int main() {
    constexpr double kTargetRatio = 1.1;
    requireFreeSpace(benchFolder().string(), kBenchFileSize + (64ull << 20));
    const std::string datafile = benchDatafile(BenchContent::Everything);
    const std::string cat = "cat " + shellQuote(datafile) + " > /dev/null";
    timeShell(cat);  // warm the page cache

    std::vector<double> runs, reads;
    std::vector<long> peaks, readMiB;
    for (int run = 0; run < 3; ++run) {
        reads.push_back(timeShell(cat));
        const Measurement m = measureProgram({"inspect", datafile, "--schemas", "all"});
        runs.push_back(m.seconds);
        peaks.push_back(m.peakKiB);
        readMiB.push_back(static_cast<long>(m.readBytes >> 20));
    }
    const double seconds = median(runs), read = median(reads);
    std::printf("restorix inspect --schemas all: %.3f s (median of 3)\n", seconds);
    std::printf("cat FILE > /dev/null:           %.3f s (median of 3)\n", read);
    std::printf("bytes read (rchar): %ld MiB of a %llu MiB datafile\n", medianLong(readMiB), kBenchFileSize >> 20);
    printRatio(seconds, read, kTargetRatio);
    std::printf("peak memory: %.1f MiB\n", medianLong(peaks) / 1024.0);
    return 0;
}
