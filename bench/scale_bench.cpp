// restorix scan and recover --schemas all on sparse databases of 10 GiB (200
// tables) and 100 GiB (2,000 tables): only the tables' extents are written,
// so the sets take some 300 MB of disk, but every byte of the holes is read.
// Peak memory should not grow with the set, nor bytes read outgrow it. Time
// per GiB is not comparable between the two: the kernel zero-fills a hole
// into the page cache when it is read, so the 10 GiB set stays cached from
// run to run while the 100 GiB set, larger than the memory, is zero-filled
// afresh by every read. One cat of the smaller set shows the cached cost.

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

constexpr double kTargetRecoverMiB = 64;

struct Size {
    const char* folder;
    unsigned long long bytes;
    int tables;
    int runs;  // the median is printed; the larger set's run costs a minute or more
};

constexpr Size kSizes[] = {{"scale-10G", 10ull << 30, 200, 3}, {"scale-100G", 100ull << 30, 2000, 1}};

std::vector<std::string> withFiles(std::vector<std::string> arguments, const std::vector<std::string>& files) {
    arguments.insert(arguments.begin() + 1, files.begin(), files.end());
    return arguments;
}

// The run of median wall time.
Measurement medianRun(int runs, const std::function<Measurement()>& run) {
    std::vector<Measurement> measured;
    for (int i = 0; i < runs; ++i) measured.push_back(run());
    std::sort(measured.begin(), measured.end(),
              [](const Measurement& a, const Measurement& b) { return a.seconds < b.seconds; });
    return measured[measured.size() / 2];
}

Measurement recoverOnce(const BenchDatabase& database, const fs::path& output) {
    fs::remove_all(output);
    fs::create_directories(output);
    const Measurement m =
        measureProgram(withFiles({"recover", "--schemas", "all", "--output", output.string()}, database.files));
    fs::remove_all(output);
    return m;
}

void printLine(const char* command, const BenchDatabase& database, const Measurement& m) {
    const double gib = static_cast<double>(database.bytes) / (1ull << 30);
    std::printf("%-34s %6.1f GiB: %8.3f s (%.3f s/GiB), peak %6.1f MiB, read %7.1f GiB (%.2f of the files)\n",
                command, gib, m.seconds, m.seconds / gib, m.peakKiB / 1024.0,
                static_cast<double>(m.readBytes) / (1ull << 30), static_cast<double>(m.readBytes) / database.bytes);
}

}  // namespace

int main() {
    const fs::path folder = benchFolder();
    requireFreeSpace(folder.string(), 1ull << 30);
    const fs::path output = folder / "scale-out";
    long recoverPeakKiB = 0;
    for (const Size& size : kSizes) {
        forge::SparseDatabaseOptions options;
        options.totalSize = size.bytes;
        options.tableCount = size.tables;
        const BenchDatabase database = benchDatabase(size.folder, options);
        std::printf("%s: %zu files, %d tables of %lld rows; %s\n", size.folder, database.files.size(), size.tables,
                    static_cast<long long>(database.rowsPerTable), size.runs > 1 ? "median of 3" : "one run");
        if (&size == &kSizes[0]) {
            const double seconds = timeShell("cat" + shellWords(database.files) + " > /dev/null");
            const double gib = static_cast<double>(database.bytes) / (1ull << 30);
            std::printf("%-34s %6.1f GiB: %8.3f s (%.3f s/GiB)\n", "cat FILES > /dev/null", gib, seconds, seconds / gib);
        }
        printLine("restorix scan", database,
                  medianRun(size.runs, [&] { return measureProgram(withFiles({"scan"}, database.files)); }));
        const Measurement recover = medianRun(size.runs, [&] { return recoverOnce(database, output); });
        printLine("restorix recover --schemas all", database, recover);
        recoverPeakKiB = std::max(recoverPeakKiB, recover.peakKiB);
    }
    std::printf("peak memory of recover: %.1f MiB (target <= %.0f)%s\n", recoverPeakKiB / 1024.0, kTargetRecoverMiB,
                recoverPeakKiB / 1024.0 <= kTargetRecoverMiB ? "" : "  -- above target");
    return 0;
}
