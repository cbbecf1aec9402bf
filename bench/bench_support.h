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
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace restorix::bench {

struct Measurement {
    double seconds = 0;
    long peakKiB = 0;
};

// Runs `work` in a forked child, so its peak resident size is its own.
// The child's exit status must be 0.
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
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("bench child failed");
    return {std::chrono::duration<double>(end - start).count(), usage.ru_maxrss};
}

// Wall time of a shell command.
inline double timeShell(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) throw std::runtime_error("command failed: " + command);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

}  // namespace restorix::bench
