#pragma once
// Databases of several datafiles: the dictionary in SYSTEM01.DBF as the
// single-file scenarios have it, the tables' blocks in ASSM segments of other
// files, of other block sizes.
//
//     forge::writeMultifileDatabase("/tmp/db");   // SYSTEM01, USERS01, DATA01
//     forge::writeSparseDatabase("/tmp/big", {.totalSize = 100ull << 30, .tableCount = 2000});

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/forge/forge.h"
#include "tools/forge/scenario.h"

namespace restorix::forge {

constexpr std::uint32_t kForgedDatabaseId = 1583216447;

struct ForgedDatafile {
    std::string path;
    std::uint32_t relativeFile = 0;
    int blockSize = 0;
    std::int64_t blockCount = 0;  // block 0 included
};

struct DatabaseSummary {
    std::vector<ForgedDatafile> files;  // SYSTEM01.DBF first
    // Block addresses of the data blocks of the tables outside SYSTEM01.DBF,
    // by data object number: in segment order, those of a sparse set file by file.
    std::map<std::int32_t, std::vector<std::uint32_t>> tableBlocks;
    std::int64_t rowsPerTable = 0;  // sparse sets: every table holds as many
};

// The built-in scenario and schema SHOP (user 70): CUSTOMERS in USERS01.DBF
// (relative file 4, 8K), PRODUCTS in DATA01.DBF (relative file 5, 16K),
// ORDERS with two blocks in each, its 7th row chained from USERS01 into DATA01.
Scenario multifileScenario();

// Writes SYSTEM01.DBF, USERS01.DBF and DATA01.DBF into `folder` (which must
// exist). `options` applies to SYSTEM01.DBF; its database id and the tables
// held elsewhere are set here. Throws as writeDatafile does.
DatabaseSummary writeMultifileDatabase(const std::string& folder, const WriteOptions& options = {});

struct SparseDatabaseOptions {
    std::uint64_t totalSize = 0;  // of the data files together; SYSTEM01.DBF comes on top
    int tableCount = 0;
    int blockSize = kBlockSize;
    int release = 10;
    // For throughput benchmarks: the extents fill the files (no holes), each
    // block with rows of its own, and SYSTEM01.DBF padded to `systemSize`
    // bytes as writeDatafile pads (0: as large as its dictionary).
    bool filled = false;
    int rowsPerBlock = 40;
    std::uint64_t systemSize = 0;
};

// A large database for scale benchmarks: SYSTEM01.DBF with the dictionary of
// schema SPARSE (user 71, tables T00001.., columns ID, NAME, CREATED) and
// DATA001.DBF.. (relative files 5..), at least two, each under the 4M-block
// limit of a file. Only the tables' extents (three of four data blocks,
// taking turns between the files) and the header blocks are written; the
// rest are holes, unless `filled`. Throws std::invalid_argument when the size
// leaves no room for the tables or their rows do not fit a block.
DatabaseSummary writeSparseDatabase(const std::string& folder, const SparseDatabaseOptions& options);

}  // namespace restorix::forge
