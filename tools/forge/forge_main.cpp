// restorix-forge: writes a synthetic SYSTEM datafile, or a database of
// several datafiles, for tests, the demo and benchmarks.

#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>

#include "tools/forge/bench_scenarios.h"
#include "tools/forge/big_endian.h"
#include "tools/forge/forge.h"
#include "tools/forge/multifile.h"

namespace {

using namespace restorix::forge;

constexpr int kUsageError = 2;
constexpr int kForgeError = 1;
constexpr std::uint64_t kDefaultBenchTableSize = 64ull << 20;
// The SYSTEM file is read in 8K blocks whatever its header says.
constexpr int kSystemBlockSize = 8192;

const char* const kUsage =
    "usage: restorix-forge --release 9|10|11 [--scenario FILE.json] [--size SIZE]\n"
    "                      [--bench-dictionary] [--bench-table] [--release-text TEXT]\n"
    "                      [--character-set SET]\n"
    "                      [--header-block-size N] [--big-endian [--aix-leader]] -o OUT.dbf\n"
    "       restorix-forge --release 9|10|11 --multifile [--big-endian [--aix-leader]] -o FOLDER\n"
    "       restorix-forge --release 9|10|11 --sparse-set --size SIZE --tables N\n"
    "                      [--block-size N] -o FOLDER\n"
    "  --scenario FILE     the scenario to forge (JSON); a small built-in one otherwise\n"
    "  --size SIZE         pad the file to SIZE bytes; suffixes K, M, G (KiB, MiB, GiB)\n"
    "  --bench-dictionary  add 20 schemas with 1,400 tables and 20,000 columns\n"
    "  --bench-table       add BENCH.BIG_TABLE filling the file up to --size (default 64M)\n"
    "  --release-text TEXT store TEXT as NLS_RDBMS_VERSION instead of the release's own\n"
    "  --character-set SET store SET as NLS_CHARACTERSET (default WE8MSWIN1252)\n"
    "  --header-block-size N  the block size the file header declares (default 8192)\n"
    "  --big-endian        write the files as a big-endian platform does (SPARC, AIX, HP-UX)\n"
    "  --aix-leader        put 4,096 bytes before block 0, as a copy of an AIX raw volume has\n"
    "  --multifile         SYSTEM01.DBF, USERS01.DBF (8K) and DATA01.DBF (16K) in FOLDER\n"
    "  --sparse-set        SYSTEM01.DBF and sparse DATA001.DBF.. of SIZE bytes together,\n"
    "                      holding the extents of N tables (--block-size, default 8192)\n";

struct Arguments {
    int release = 0;
    std::optional<std::string> scenarioPath;
    std::optional<std::string> releaseText;
    std::optional<std::string> characterSet;
    std::uint64_t size = 0;
    int headerBlockSize = 8192;
    bool benchDictionary = false;
    bool benchTable = false;
    bool multifile = false;
    bool sparseSet = false;
    bool bigEndian = false;
    bool aixLeader = false;
    int tables = 0;
    int blockSize = 8192;
    std::string output;
};

// "1GiB", "512M", "65536", "64k": binary multiples.
std::uint64_t parseSize(const std::string& text) {
    std::size_t used = 0;
    const unsigned long long number = std::stoull(text, &used);
    std::string suffix = text.substr(used);
    for (char& c : suffix) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (suffix.size() > 1 && (suffix.ends_with("IB") || suffix.ends_with("B"))) suffix = suffix.substr(0, 1);
    std::uint64_t unit = 1;
    if (suffix == "K") unit = 1ull << 10;
    else if (suffix == "M") unit = 1ull << 20;
    else if (suffix == "G") unit = 1ull << 30;
    else if (!suffix.empty() && suffix != "B") throw std::invalid_argument("bad size " + text);
    return number * unit;
}

Arguments parseArguments(int argc, char** argv) {
    Arguments a;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--release") a.release = std::stoi(value());
        else if (arg == "--scenario") a.scenarioPath = value();
        else if (arg == "--size") a.size = parseSize(value());
        else if (arg == "--release-text") a.releaseText = value();
        else if (arg == "--character-set") a.characterSet = value();
        else if (arg == "--header-block-size") a.headerBlockSize = std::stoi(value());
        else if (arg == "--bench-dictionary") a.benchDictionary = true;
        else if (arg == "--bench-table") a.benchTable = true;
        else if (arg == "--multifile") a.multifile = true;
        else if (arg == "--sparse-set") a.sparseSet = true;
        else if (arg == "--big-endian") a.bigEndian = true;
        else if (arg == "--aix-leader") a.aixLeader = true;
        else if (arg == "--tables") a.tables = std::stoi(value());
        else if (arg == "--block-size") a.blockSize = std::stoi(value());
        else if (arg == "-o" || arg == "--output") a.output = value();
        else throw std::invalid_argument("unknown argument " + arg);
    }
    if (a.release != 9 && a.release != 10 && a.release != 11) throw std::invalid_argument("--release must be 9, 10 or 11");
    if (a.output.empty()) throw std::invalid_argument("-o OUT.dbf is required");
    if (a.sparseSet && (a.size == 0 || a.tables <= 0))
        throw std::invalid_argument("--sparse-set needs --size and --tables");
    if (a.aixLeader && !a.bigEndian) throw std::invalid_argument("--aix-leader needs --big-endian");
    if (a.bigEndian && (a.sparseSet || a.benchTable || a.size))
        throw std::invalid_argument("--big-endian writes a single file or --multifile, without --size");
    return a;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int runDatabase(const Arguments& a) {
    const auto start = std::chrono::steady_clock::now();
    std::filesystem::create_directories(a.output);
    DatabaseSummary summary;
    if (a.sparseSet) {
        summary = writeSparseDatabase(a.output, {a.size, a.tables, a.blockSize, a.release});
    } else {
        WriteOptions options;
        options.release = a.release;
        options.releaseText = a.releaseText;
        if (a.characterSet) options.characterSet = *a.characterSet;
        summary = writeMultifileDatabase(a.output, options);
        if (a.bigEndian)
            for (const ForgedDatafile& file : summary.files)
                rewriteBigEndian(file.path, {file.blockSize, a.aixLeader});
    }
    for (const ForgedDatafile& file : summary.files)
        std::cout << "wrote " << file.path << ": relative file " << file.relativeFile << ", " << file.blockCount
                  << " blocks of " << file.blockSize << " bytes\n";
    std::cout << summary.tableBlocks.size() << " tables outside SYSTEM01.DBF in " << secondsSince(start) << " s\n";
    return 0;
}

int run(const Arguments& a) {
    if (a.multifile || a.sparseSet) return runDatabase(a);
    const auto start = std::chrono::steady_clock::now();
    Scenario scenario = a.scenarioPath ? loadScenario(*a.scenarioPath) : builtinScenario();
    if (a.benchDictionary) addBenchDictionary(scenario);

    WriteOptions options;
    options.release = a.release;
    options.releaseText = a.releaseText;
    if (a.characterSet) options.characterSet = *a.characterSet;
    options.headerBlockSize = a.headerBlockSize;
    options.fileSize = a.size;
    if (a.benchTable) {
        options.bulkTable = addBenchTable(scenario);
        if (options.fileSize == 0) options.fileSize = kDefaultBenchTableSize;
    }
    const WriteSummary summary = writeDatafile(scenario, a.output, options);
    if (a.bigEndian) rewriteBigEndian(a.output, {kSystemBlockSize, a.aixLeader});
    const auto seconds = secondsSince(start);
    std::cout << "wrote " << a.output << ": " << summary.fileSize << " bytes, " << summary.blockCount << " blocks";
    if (summary.bulkBlocks) std::cout << " (" << summary.bulkBlocks << " blocks of BENCH.BIG_TABLE)";
    std::cout << " in " << seconds << " s\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Arguments arguments;
    try {
        for (int i = 1; i < argc; ++i) {
            if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
                std::cout << kUsage;
                return 0;
            }
        }
        arguments = parseArguments(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "restorix-forge: " << e.what() << "\n" << kUsage;
        return kUsageError;
    }
    try {
        return run(arguments);
    } catch (const std::exception& e) {
        std::cerr << "restorix-forge: " << e.what() << "\n";
        return kForgeError;
    }
}
