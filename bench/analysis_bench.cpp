// The whole analysis (scan and both dictionary passes) of a 1 GiB file with a
// realistic dictionary, against one plain read of the same file.

#include <cstdio>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"
#include "dictionary/analysis_job.h"

using namespace restorix;
using namespace restorix::bench;

namespace {

int analyzeOnce(const std::string& path, std::size_t& objects, std::size_t& columns, std::size_t& constraints) {
    Recovery recovery;
    if (recovery.database.datafiles.open({path})) return 1;
    recovery.options = RecoveryOptions(RecoveryOption::All);
    ProgressSink progress;
    NoMessages messages;
    if (runAnalysis(recovery, progress, messages, "") != AnalysisResult::analysisCompleted) return 1;
    objects = recovery.catalog.objectList.size();
    columns = recovery.catalog.columnList.size();
    constraints = recovery.catalog.constraintDefs.size();
    return objects > 0 ? 0 : 1;
}

}  // namespace

int main() {
    requireFreeSpace(benchFolder().string(), kBenchFileSize + (64ull << 20));
    const std::string path = benchDatafile(BenchContent::Dictionary);
    const std::string cat = "cat " + shellQuote(path) + " > /dev/null";
    timeShell(cat);

    std::size_t objects = 0, columns = 0, constraints = 0;
    analyzeOnce(path, objects, columns, constraints);
    std::printf("catalog: %zu objects, %zu columns, %zu constraint definitions\n", objects, columns, constraints);

    std::vector<double> runs, reads;
    std::vector<long> peaks;
    for (int run = 0; run < 3; ++run) {
        reads.push_back(timeShell(cat));
        const Measurement m = measureInChild([&] {
            std::size_t o, c, k;
            return analyzeOnce(path, o, c, k);
        });
        runs.push_back(m.seconds);
        peaks.push_back(m.peakKiB);
    }
    const double analysis = median(runs), read = median(reads);
    std::printf("analysis of 1 GiB:    %.3f s (median of 3)\n", analysis);
    std::printf("cat FILE > /dev/null: %.3f s (median of 3)\n", read);
    printRatio(analysis, read, 2.0);
    std::printf("peak memory: %.1f MiB (target <= 128)\n", medianLong(peaks) / 1024.0);
    return 0;
}
