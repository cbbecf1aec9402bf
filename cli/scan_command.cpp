// restorix scan DATAFILE: the release, the block size and the block index.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "datafile/block_scan.h"

namespace restorix::cli {
namespace {

struct ScanArguments {
    std::string datafile;
};

// One line per data object number, in the order of each object's first block.
void printIndex(const BlockIndex& index) {
    std::vector<std::int32_t> order;
    std::unordered_set<std::int32_t> seen;
    for (const BlockEntry& entry : index.entries()) {
        if (seen.insert(entry.dataObjectId).second) order.push_back(entry.dataObjectId);
    }
    for (std::int32_t object : order) {
        std::printf("%d\t%zu\n", object, index.blocksOf(object).size());
    }
}

int runScan(const ScanArguments& args) {
    Recovery recovery;
    if (int code = openDatafile(recovery, args.datafile); code != kSuccess) return code;
    TerminalProgress progress;
    StderrMessages messages;
    InterruptGuard interrupt;
    ScanResult result;
    {
        const InterruptGuard::Scope scope = interrupt.onInterrupt([&] { recovery.analysisControl.requestStop(); });
        result = scanDatafile(recovery.datafile, recovery.blockIndex, recovery.release, progress,
                              recovery.analysisControl, messages, recovery.appTitle);
    }
    progress.finish();
    if (interrupt.interrupted()) return kInterrupted;
    switch (result) {
        case ScanResult::Stopped: return kInterrupted;
        case ScanResult::UnsupportedVersion: return kUnsupportedVersion;
        case ScanResult::BlockSizeTooBig: return kBlockSizeTooBig;
        case ScanResult::Completed: break;
    }
    std::printf("Oracle Version:%s\n", recovery.release.releaseText.c_str());
    std::printf("Block size: %d\n", recovery.release.blockSize);
    std::printf("Indexed blocks: %zu\n", recovery.blockIndex.size());
    printIndex(recovery.blockIndex);
    std::fflush(stdout);
    return kSuccess;
}

}  // namespace

void addScanCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ScanArguments>();
    CLI::App* command = app.add_subcommand("scan", "Print the release, the block size and the block index");
    command->add_option("DATAFILE", args->datafile, "The SYSTEM datafile (.dbf)")->required();
    command->callback([args, &exitCode] { exitCode = runScan(*args); });
}

}  // namespace restorix::cli
