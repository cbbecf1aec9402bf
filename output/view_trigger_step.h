#pragma once
// Views and triggers are not taken from the catalog's lists: the step reads
// the blocks of VIEW$ and TRIGGER$ again, through the block index by their
// data object numbers, decodes their whole-row pieces and turns each into one
// statement of Views\Views.sql or Triggers\Triggers.sql. The catalog only
// gives the names.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "datafile/block_layout.h"
#include "datafile/block_scan.h"
#include "datafile/block_view.h"
#include "dictionary/catalog.h"
#include "dictionary/dictionary_segments.h"
#include "dictionary/recovery.h"
#include "output/code_statements.h"
#include "output/output_files.h"
#include "tabledata/saving_state.h"

namespace restorix {

// VIEW$ rows have the same number of stored columns in every release.
constexpr int kViewColumns = 8;
// Only a whole row in one piece (Head, First and Last) is turned into a statement.
constexpr std::uint8_t kWholeRowFlag = RowFlag::Head | RowFlag::First | RowFlag::Last;

enum class CodeBlockKind { None, View, Trigger };

// A view or trigger block: a data block (type 6, second byte A2 or 02) of the
// release's VIEW$ or TRIGGER$ segment.
CodeBlockKind classifyCodeBlock(const BlockView& block, const ReleaseSegments& segments);

// One VIEW$ row as the scan uses it.
struct ViewRow {
    DictionaryNumber objNumber = kNoNumber;
    int columnCount = 0;  // COLS
    std::string text;     // UTF-8; empty when NULL
};

// One TRIGGER$ row as the scan uses it.
struct TriggerRow {
    DictionaryNumber objNumber = kNoNumber;
    int triggerType = -1;  // 0..4; -1 when not stored as a number
    int updateEvent = -1;  // 0 not set, 1 set, -1 not stored as 0 or 1
    int insertEvent = -1;
    int deleteEvent = -1;
    DictionaryNumber baseObject = kNoNumber;  // none (or 0): a database-level trigger
    std::optional<std::string> definition;
    std::optional<std::string> whenClause;
    std::optional<std::string> body;
};

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

// The statement of a view row with its names from the catalog; nullopt when
// the view is not written (unknown object or owner, unwanted owner, column
// entries missing, empty text). `viewName` receives the view's name.
std::optional<std::string> viewStatementOf(const Catalog& catalog, const RecoveryOptions& options, const ViewRow& row,
                                           std::string& viewName);

// The definition of a trigger row with its names from the catalog; nullopt
// when the trigger or its base object is unknown, or its owner is not wanted.
std::optional<TriggerDefinition> triggerDefinitionOf(const Catalog& catalog, const RecoveryOptions& options,
                                                     const TriggerRow& row);

// The whole step: the replay lines of the trigger, view and procedure
// scripts, then the VIEW$ and TRIGGER$ blocks in block order, appending to the two scripts. Raises what
// ScriptOutput raises (a confirmed Stop, a trigger script that cannot be opened).
void writeViewsAndTriggers(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output);

}  // namespace restorix
