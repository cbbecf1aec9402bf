#pragma once
// Shared by the benchmarks: run a piece of work in a child process and measure
// its wall time and peak memory, run a shell baseline, take medians.

#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace restorix::bench {

struct Measurement {
    double seconds = 0;
    long peakKiB = 0;
    // The child's "rchar": bytes its read calls returned, page-cache hits
    // included ("read_bytes" counts only what came from the disk, none of a
    // file in the page cache). Reads through a memory map are not counted.
    unsigned long long readBytes = 0;
    // User and system time: steadier than the wall time on a busy machine,
    // for comparing two builds.
    double cpuSeconds = 0;
    // The system's part of it: mostly the page cache taking the output, whose
    // cost follows the machine's state as the baselines' copies do.
    double systemSeconds = 0;
};

// The "rchar" line of /proc/<pid>/io; 0 when it cannot be read.
inline unsigned long long bytesReadBy(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/io";
    FILE* io = std::fopen(path.c_str(), "r");
    if (!io) return 0;
    unsigned long long bytes = 0;
    char line[128];
    while (std::fgets(line, sizeof line, io))
        if (std::sscanf(line, "rchar: %llu", &bytes) == 1) break;
    std::fclose(io);
    return bytes;
}

inline double secondsOf(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

// Runs `work` in a forked child, so its peak resident size and its reads are
// its own. The child's exit status must be 0.
inline Measurement measureInChild(const std::function<int()>& work) {
    std::fflush(nullptr);  // or the child prints what the parent buffered
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int code = 1;
        try {
            code = work();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bench child: %s\n", e.what());
        }
        std::fflush(nullptr);
        _exit(code);
    }
    // Waited for without reaping first: the counters of /proc/<pid>/io stay
    // readable until the child is reaped.
    siginfo_t exited{};
    waitid(P_PID, static_cast<id_t>(pid), &exited, WEXITED | WNOWAIT);
    const auto end = std::chrono::steady_clock::now();
    const unsigned long long readBytes = bytesReadBy(pid);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("bench child failed");
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss, readBytes,
            secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime), secondsOf(usage.ru_stime)};
}

// The restorix program beside the running benchmark.
inline std::string programBesideBench() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) throw std::runtime_error("cannot find the benchmark's own path");
    std::string folder(path, static_cast<std::size_t>(length));
    return folder.substr(0, folder.rfind('/') + 1) + "restorix";
}

// Runs restorix with these arguments as the measured child itself, its
// standard output thrown away, so its peak memory and reads are the program's.
inline Measurement measureProgram(const std::vector<std::string>& arguments) {
    const std::string program = programBesideBench();
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return measureInChild([&] {
        if (!std::freopen("/dev/null", "w", stdout)) return 126;
        execv(program.c_str(), argv.data());
        return 127;
    });
}

// The line every benchmark ends its figures with.
inline void printRatio(double seconds, double baseline, double target) {
    std::printf("ratio: %.2f (target <= %.1f)%s\n", seconds / baseline, target,
                seconds / baseline <= target ? "" : "  -- above target");
}

// Writes out what the page cache still holds, untimed: a timed run that
// starts beside gigabytes of a previous run's output still waiting for the
// disk is held up by that writeback, by an amount that changes from run to
// run and from one side of a ratio to the other.
inline void settleWrites() { ::sync(); }

// Wall time of a shell command.
inline double timeShell(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) throw std::runtime_error("command failed: " + command);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// System time of every child waited for so far (a shell's own children
// included once the shell has waited for them).
inline double childrenSystemSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return secondsOf(usage.ru_stime);
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline long medianLong(std::vector<long> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline unsigned long long freeBytes(const std::string& folder) {
    struct statvfs fs {};
    if (statvfs(folder.c_str(), &fs) != 0) return 0;
    return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
}

inline void requireFreeSpace(const std::string& folder, unsigned long long bytes) {
    if (freeBytes(folder) < bytes) {
        std::fprintf(stderr, "not enough free disk space in %s: need %llu MiB\n", folder.c_str(), bytes >> 20);
        std::exit(2);
    }
}

inline std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

// Bytes of the files in a folder and below.
inline std::uintmax_t folderBytes(const std::filesystem::path& folder) {
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) total += entry.file_size();
    }
    return total;
}

// Words quoted for a shell command line, each after a space.
inline std::string shellWords(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) line += " " + shellQuote(word);
    return line;
}

}  // namespace restorix::bench
