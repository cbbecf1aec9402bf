#pragma once
// Turns the rows of the dictionary's own tables into the catalog. No table is
// looked up by name: each dictionary segment is known by its fixed data object
// number, each kind of row by its flag byte and column count.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "datafile/block_layout.h"
#include "datafile/block_view.h"
#include "dictionary/dictionary_segments.h"
#include "dictionary/recovery.h"
#include "platform/job_control.h"

namespace restorix {

// Texts of the Analysis dialog's pass label.
inline constexpr const char* kReadingSchemaText = "Reading Schema...";
inline constexpr const char* kReadingTablesText = "Reading Tables...";
inline constexpr const char* kReadingConstraintsText = "Reading CON$...";
inline constexpr const char* kReadingColumnsText = "Reading Columns...";

// Cluster keys of the block being decoded, numbered in row directory order:
// a member row names its key by this ordinal. Keys that are not kept (a form
// the catalog cannot hold) still take their number, so later keys keep theirs.
class BlockClusterKeys {
public:
    // Restarts the numbering when a new block begins; true when it did.
    bool enterBlock(std::int64_t blockNumber);
    // Numbers the next key of the block; returns its 0-based ordinal.
    int addKey();
    // Records where the catalog holds key `ordinal`.
    void keep(int ordinal, std::size_t listPosition);
    // Where the catalog holds key `ordinal` of the current block, if anywhere.
    std::optional<std::size_t> find(int ordinal) const;

private:
    std::int64_t blockNumber_ = -1;
    std::vector<std::optional<std::size_t>> listPositions_;
};

// Decodes single row pieces of the dictionary segments into the catalog. One
// decoder lives for one pass: it carries the per-block cluster-key numbering.
class DictionaryRowDecoder {
public:
    explicit DictionaryRowDecoder(Recovery& recovery) : recovery_(recovery) {}

    // Decodes the row piece at block offset `pieceOffset` of a block of
    // `segment`. Rows that match no rule are ignored. False only when a stop
    // was requested.
    bool decodeRow(const BlockView& block, int pieceOffset, std::int32_t segment, std::int64_t blockNumber);

private:
    struct Row;

    void decodeUserClusterRow(const Row& row);
    void decodeObjectRow(const Row& row);
    void decodeConstraintNameRow(const Row& row);
    void decodeObjectClusterRow(const Row& row);
    void decodeConstraintClusterRow(const Row& row);

    void addUserKey(const Row& row);
    void addUserRow(const Row& row);
    void addTableKey(const Row& row);
    void addColumnRow(const Row& row);
    void addConstraintKey(const Row& row);
    void addConstraintColumnRow(const Row& row);
    void addConstraintDefRow(const Row& row);

    // The table that a member row's cluster key names, through the keys of
    // its block; nullptr when the key or the table is unknown.
    const ObjectEntry* tableOfTableKey(const Row& row) const;
    const ObjectEntry* tableOfConstraintKey(const Row& row) const;

    Recovery& recovery_;
    BlockClusterKeys userKeys_;
    BlockClusterKeys tableKeys_;
    BlockClusterKeys constraintKeys_;
    std::vector<ColumnValue> columns_;  // reused by every row
};

// First pass: the user cluster, OBJ$ and CON$. False when stopped. A block
// that cannot be read, or whose header points outside it, is counted in
// recovery.catalog.dictionaryBlocksNotRead and the pass goes on with the next.
bool decodeDictionaryPass1(Recovery& recovery, ProgressSink& progress);
// Second pass: the C_OBJ# and C_COBJ# clusters. Same results.
bool decodeDictionaryPass2(Recovery& recovery, ProgressSink& progress);

// Reads the stored source of every object in `objects` in one pass over
// SOURCE$'s blocks, honouring the caller's Stop and Pause (the analysis', or
// a preview's). Nothing when stopped.
std::optional<StoredSource> readStoredSource(const Database& database, std::span<const DictionaryNumber> objects,
                                             JobControl& control);

// The source of every procedure and function of the schemas the catalog
// keeps, read at the end of the analysis into catalog.storedSource, so that
// the save only writes it. False when stopped.
bool decodeStoredSource(const Database& database, Catalog& catalog, JobControl& control);

}  // namespace restorix
