// The block scan of a 1 GiB file against one plain read of the same file.

#include <cstdio>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"
#include "datafile/block_scan.h"

using namespace restorix;
using namespace restorix::bench;

namespace {

int scanOnce(const std::string& path) {
    DatafileSet files;
    if (files.open({path})) return 1;
    BlockIndex index;
    ReleaseInfo release;
    ProgressSink progress;
    JobControl control;
    NoMessages messages;
    const ScanResult result = scanDatafiles(files, index, release, progress, control, messages, "bench");
    return result == ScanResult::Completed && !index.empty() ? 0 : 1;
}

}  // namespace

int main() {
    requireFreeSpace(benchFolder().string(), kBenchFileSize + (64ull << 20));
    const std::string path = benchDatafile(BenchContent::Plain);
    const std::string cat = "cat " + shellQuote(path) + " > /dev/null";
    timeShell(cat);  // warm the page cache

    std::vector<double> scans, reads;
    std::vector<long> peaks;
    for (int run = 0; run < 3; ++run) {
        reads.push_back(timeShell(cat));
        const Measurement m = measureInChild([&] { return scanOnce(path); });
        scans.push_back(m.seconds);
        peaks.push_back(m.peakKiB);
    }
    const double scan = median(scans), read = median(reads);
    std::printf("scanDatafile on 1 GiB: %.3f s (median of 3)\n", scan);
    std::printf("cat FILE > /dev/null:  %.3f s (median of 3)\n", read);
    printRatio(scan, read, 1.1);
    std::printf("peak memory: %.1f MiB (target <= 64)\n", medianLong(peaks) / 1024.0);
    return 0;
}
