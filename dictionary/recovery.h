#pragma once
// One recovery's state: the open datafiles, the block index, the release, the
// catalog, the chosen option and the shell values the jobs read. Nothing of it
// is process-wide, so several recoveries (tests) run side by side.

#include <atomic>
#include <filesystem>
#include <string_view>
#include <string>

#include "datafile/block_index.h"
#include "datafile/block_scan.h"
#include "datafile/block_source.h"
#include "datafile/datafile_set.h"
#include "dictionary/catalog.h"
#include "platform/job_control.h"

namespace restorix {

// SYS's user number.
inline constexpr DictionaryNumber kSysUser = 0;

enum class RecoveryOption { None, SysOnly, AllButSys, All };

struct Recovery {
    // Shell values.
    std::string appTitle = " Restorix for Oracle Database";
    std::string productName = "Restorix for Oracle Database";
    std::string versionText = "Version 2.0.0";
    std::string installFolder;
    std::string sourcePath;   // the SYSTEM datafile's path, upper-cased: labels and logs only
    std::string sourceTitle;  // file name without folder and extension
    // Labels, logs and the output folder's name follow the SYSTEM file.
    void nameSourceAfter(std::string_view path) {
        sourcePath.assign(path);
        for (char& c : sourcePath)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        sourceTitle = std::filesystem::path(path).stem().string();
    }
    // Of several datafiles, the scan tells which one is the SYSTEM file:
    // the names follow that one from then on, not the first file given.
    void nameSourceAfterSystemFile() {
        if (datafiles.size() < 2 || !datafiles.isOpen()) return;
        nameSourceAfter(std::filesystem::absolute(datafiles.system().path).lexically_normal().string());
    }

    // Recovery option flags; at most one is set.
    bool recoverSysOnly = false;
    bool recoverAllButSys = false;
    bool recoverAll = false;
    void setOption(RecoveryOption option) {
        recoverSysOnly = option == RecoveryOption::SysOnly;
        recoverAllButSys = option == RecoveryOption::AllButSys;
        recoverAll = option == RecoveryOption::All;
    }
    // The one rule of whose objects a recovery keeps, for the dictionary, the
    // saved scripts and the data alike: SYS's alone, all but SYS's, or all;
    // nobody's unless exactly one option is set.
    bool keepsSchema(bool isSys) const {
        if (int{recoverSysOnly} + int{recoverAllButSys} + int{recoverAll} != 1) return false;
        if (recoverSysOnly) return isSys;
        return recoverAll || !isSys;
    }
    bool keepsOwner(DictionaryNumber owner) const { return keepsSchema(owner == kSysUser); }

    // The SYSTEM datafile and any others of the database.
    DatafileSet datafiles;
    // Every block of those files is read through it.
    BlockSource blockSource{datafiles};
    BlockIndex blockIndex;
    ReleaseInfo release;
    Catalog catalog;

    // The analysis' stop flag (analysisStopRequested) and pause.
    JobControl analysisControl;
    // Dictionary blocks the passes could not read (a read error, or a row
    // directory that runs past the block); the rest of their segment was read.
    long dictionaryBlocksNotRead = 0;
    // Set when the analysis window was closed with Yes: the catalog is partial.
    std::atomic<bool> partial{false};
};

}  // namespace restorix
