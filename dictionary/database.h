#pragma once
// The database a recovery reads: its datafiles, the one reader of their
// bytes, the index of their blocks and the release they come from, and the
// names labels and logs give the SYSTEM file. The analysis fills it; every
// later job only reads it.

#include <filesystem>
#include <string>
#include <string_view>

#include "datafile/block_index.h"
#include "datafile/block_scan.h"
#include "datafile/block_source.h"
#include "datafile/datafile_set.h"

namespace restorix {

struct Database {
    // The SYSTEM datafile and any others of the database.
    DatafileSet datafiles;
    // Every block of those files is read through it.
    BlockSource blockSource{datafiles};
    BlockIndex blockIndex;
    ReleaseInfo release;

    std::string sourcePath;   // the SYSTEM datafile's path, upper-cased: labels and logs only
    std::string sourceTitle;  // file name without folder and extension

    Database() = default;
    // The block source holds on to these very datafiles.
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

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
};

}  // namespace restorix
