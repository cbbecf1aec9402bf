// restorix scan DATAFILE...: the release, the block size, every datafile and the block index.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "datafile/block_source.h"
#include "datafile/block_scan.h"

namespace restorix::cli {
namespace {

struct ScanArguments {
    std::vector<std::string> datafiles;
};

// One line per data object number, in the order of each object's first block.
void printIndex(const BlockIndex& index) {
    for (std::int32_t object : index.dataObjects()) std::printf("%d\t%zu\n", object, index.blockCountOf(object));
}

// One line per datafile: what its headers say and how its blocks were found.
void printDatafiles(const DatafileSet& files) {
    for (std::size_t i = 0; i < files.size(); ++i) {
        const Datafile& file = files.at(i);
        const std::string number = file.header ? std::to_string(file.header->relativeFileNumber) : "unknown";
        const std::string leader =
            file.leaderBytes ? " (block 0 at byte " + std::to_string(file.leaderBytes) + ")" : std::string();
        std::printf("Datafile %zu: %s%s: relative file %s, block size %d, %s%s, %lld blocks, %lld data blocks out of "
                    "place\n",
                    i + 1, terminalText(file.path).c_str(), i == files.systemIndex() ? " (SYSTEM)" : "", number.c_str(),
                    file.blockSize, byteOrderName(file.byteOrder), leader.c_str(),
                    static_cast<long long>(file.blockCount()), static_cast<long long>(file.misplacedBlocks));
    }
}

int runScan(const ScanArguments& args) {
    Recovery recovery;
    if (int code = openDatafiles(recovery, args.datafiles); code != kSuccess) return code;
    TerminalProgress progress;
    StderrMessages messages;
    InterruptGuard interrupt;
    ScanResult result;
    {
        const InterruptGuard::Scope scope = interrupt.onInterrupt([&] { recovery.analysisControl.requestStop(); });
        result = scanDatafiles(recovery.database.datafiles, recovery.database.blockIndex, recovery.database.release,
                               progress, recovery.analysisControl, messages, std::string(kMessageCaption));
    }
    progress.finish();
    // Blocks a read error left unread were skipped: each is named.
    for (std::size_t i = 0; i < recovery.database.datafiles.size(); ++i)
        for (const std::int64_t block : recovery.database.datafiles.at(i).unreadable.all())
            printError(unreadableBlockText(recovery.database.datafiles.at(i), block));
    if (interrupt.interrupted()) return interrupt.exitCode();
    switch (result) {
        case ScanResult::Stopped: return interrupt.exitCode();
        case ScanResult::UnsupportedVersion: return kUnsupportedVersion;
        case ScanResult::BlockSizeTooBig: return kBlockSizeTooBig;
        case ScanResult::ForeignDatafile:
        case ScanResult::NothingReadable: return kDatafileNotOpened;
        case ScanResult::Completed: break;
    }
    std::printf("Oracle Version:%s\n", terminalText(recovery.database.release.releaseText).c_str());
    std::printf("Block size: %d\n", recovery.database.release.blockSize);
    std::printf("Indexed blocks: %zu\n", recovery.database.blockIndex.size());
    printDatafiles(recovery.database.datafiles);
    printIndex(recovery.database.blockIndex);
    std::fflush(stdout);
    return kSuccess;
}

}  // namespace

void addScanCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ScanArguments>();
    CLI::App* command = app.add_subcommand("scan", "Print the release, the block size, every datafile and the block index");
    command->add_option("DATAFILE", args->datafiles, "The SYSTEM datafile (.dbf) and any other datafiles of the database")->required();
    command->callback([args, &exitCode] { exitCode = runScan(*args); });
}

}  // namespace restorix::cli
