// restorix recover --schemas all on a 1 GiB file (a realistic dictionary and
// one big table) against one read of the datafile plus one copy of the output
// folder it wrote.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/bench_support.h"

using namespace restorix::bench;
namespace fs = std::filesystem;

namespace {

fs::path programFolder() { return fs::read_symlink("/proc/self/exe").parent_path(); }

// Runs the command line in the measured child itself, so its peak memory is the program's.
Measurement recoverOnce(const std::string& datafile, const fs::path& output) {
    fs::remove_all(output);
    fs::create_directories(output);
    const std::string program = (programFolder() / "restorix").string();
    return measureInChild([&] {
        // stdout (the output root's path) is not needed here.
        std::freopen("/dev/null", "w", stdout);
        execl(program.c_str(), program.c_str(), "recover", datafile.c_str(), "--schemas", "all", "--output",
              output.c_str(), static_cast<char*>(nullptr));
        return 127;
    });
}

std::uintmax_t folderBytes(const fs::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) total += entry.file_size();
    }
    return total;
}

}  // namespace

int main() {
    const fs::path folder = benchFolder();
    requireFreeSpace(folder.string(), kBenchFileSize + (8ull << 30));
    const std::string datafile = benchDatafile(BenchContent::Everything);
    const fs::path output = folder / "recover-out";
    const fs::path copy = folder / "recover-copy";
    const std::string cat = "cat " + shellQuote(datafile) + " > /dev/null";
    timeShell(cat);

    std::vector<double> runs, baselines;
    std::vector<long> peaks;
    std::uintmax_t outputBytes = 0;
    for (int run = 0; run < 3; ++run) {
        const Measurement m = recoverOnce(datafile, output);
        runs.push_back(m.seconds);
        peaks.push_back(m.peakKiB);
        outputBytes = folderBytes(output);
        fs::remove_all(copy);
        baselines.push_back(timeShell(cat) + timeShell("cp -r " + shellQuote(output.string()) + " " +
                                                       shellQuote(copy.string())));
    }
    fs::remove_all(copy);
    fs::remove_all(output);
    const double recover = median(runs), baseline = median(baselines);
    std::printf("output folder: %.1f MiB\n", outputBytes / 1048576.0);
    std::printf("restorix recover --schemas all: %.3f s (median of 3)\n", recover);
    std::printf("read + cp -r of the output:     %.3f s (median of 3)\n", baseline);
    std::printf("ratio: %.2f (target <= 3.0)\n", recover / baseline);
    std::printf("peak memory: %.1f MiB (target <= 256)\n", medianLong(peaks) / 1024.0);
    return 0;
}
