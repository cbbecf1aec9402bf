#pragma once
// The views' and triggers' texts: the analysis reads the blocks of VIEW$ and
// TRIGGER$ once it has the catalog, through the block index by their data
// object numbers, and keeps each whole-row piece in the catalog in block
// order (Catalog::codeRows); the save only writes them.

#include <cstdint>
#include <functional>
#include <span>

#include "datafile/block_layout.h"
#include "datafile/block_scan.h"
#include "datafile/block_view.h"
#include "dictionary/catalog.h"
#include "dictionary/database.h"
#include "dictionary/dictionary_segments.h"
#include "platform/job_control.h"

namespace restorix {

// VIEW$ rows have the same number of stored columns in every release.
constexpr int kViewColumns = 8;
// Only a whole row in one piece (kWholeRowFlag) is turned into a statement.

enum class CodeBlockKind { None, View, Trigger };

// A view or trigger block: a data block (type 6, second byte A2 or 02) of the
// release's VIEW$ or TRIGGER$ segment.
CodeBlockKind classifyCodeBlock(const BlockView& block, const ReleaseSegments& segments);

// Decodes the columns of a row that passed the row filter.
ViewRow decodeViewRow(std::span<const ColumnValue> columns);
TriggerRow decodeTriggerRow(std::span<const ColumnValue> columns, int triggerColumns);

// Walks one view or trigger block's row directory and calls `onRow` with the
// columns of each whole-row piece that stores exactly `columnCount` columns.
// False when the block's header or row directory points outside the block:
// the whole scan then ends. `keepGoing` is asked before every slot; when it
// answers false the walk returns true at once.
using CodeRowHandler = std::function<void(std::span<const ColumnValue>)>;
bool walkCodeRows(const BlockView& block, int columnCount, const CodeRowHandler& onRow,
                  const std::function<bool()>& keepGoing);

// Reads the VIEW$ and TRIGGER$ blocks in block order, as a scan of the
// whole file would meet them, into catalog.codeRows; a block that points
// outside itself ends the reading. Nothing is read without a known release.
// False when stopped.
bool decodeViewAndTriggerRows(const Database& database, Catalog& catalog, JobControl& control);

}  // namespace restorix
