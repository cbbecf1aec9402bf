#pragma once
// Forges a SYSTEM datafile from a scenario: the header blocks, the PROPS$
// block with the release text, the dictionary segments (C_USER#, OBJ$, CON$,
// C_OBJ#, C_COBJ#, SOURCE$, VIEW$, TRIGGER$), one segment per table, the
// segments interleaved extent by extent, and optional padding.
//
//     forge::Scenario s;
//     s.user("HR", 30).table("DEPT").column("DEPTNO", "NUMBER(2)").row({"10"});
//     forge::writeDatafile(s, "/tmp/system01.dbf", {.release = 11});

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "datafile/block_view.h"
#include "tools/forge/scenario.h"

namespace restorix::forge {

// Blocks of one big table, written after everything else until the file
// reaches its size: fills `block` completely (data object number and block
// address included) for the `sequence`-th block of the table.
class BulkRowSource {
public:
    virtual ~BulkRowSource() = default;
    virtual void fillBlock(std::int64_t sequence, std::int32_t dataObject, std::uint32_t address, Block& block) = 0;
};

struct BulkTable {
    std::string schema;
    std::string table;
    std::shared_ptr<BulkRowSource> rows;
};

struct WriteOptions {
    int release = 10;                        // 9, 10 or 11
    std::optional<std::string> releaseText = std::nullopt;  // NLS_RDBMS_VERSION; the release's usual text otherwise
    std::string characterSet = "WE8MSWIN1252";   // NLS_CHARACTERSET
    std::string ncharCharacterSet = "AL16UTF16";  // NLS_NCHAR_CHARACTERSET
    int headerBlockSize = kBlockSize;        // the block size block 0 declares
    std::uint64_t fileSize = 0;              // pad (or fill with the bulk table) to this many bytes
    std::optional<BulkTable> bulkTable = std::nullopt;
    // A file of a database of several files: the id block 1 carries with the
    // file's size and number (see FileHeader).
    std::optional<std::uint32_t> databaseId = std::nullopt;
    // Tables (by data object number) the dictionary defines but whose blocks
    // other files of the database hold.
    std::set<std::int32_t> segmentsElsewhere = {};
};

struct WriteSummary {
    std::uint64_t fileSize = 0;
    std::int64_t blockCount = 0;  // whole blocks
    // File block numbers of every data block, by data object number.
    std::map<std::int32_t, std::vector<std::int64_t>> segmentBlocks;
    std::int64_t bulkBlocks = 0;
};

// Throws std::invalid_argument for a scenario or options that cannot be
// forged, std::runtime_error when the file cannot be written.
WriteSummary writeDatafile(const Scenario& scenario, const std::string& path, const WriteOptions& options = {});

}  // namespace restorix::forge
