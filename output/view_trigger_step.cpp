#include "output/view_trigger_step.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "datafile/row_walk.h"
#include "datafile/segment_blocks.h"
#include "platform/codepage.h"
#include "output/batch_files.h"
#include "output/sql_names.h"

namespace restorix {
namespace {

// The second header byte of a view or trigger block.
constexpr std::uint8_t kCodeBlockFormats[] = {0xA2, 0x02};
constexpr int kBlockFormatOffset = 1;

// VIEW$ columns.
constexpr int kViewObjectColumn = 0;
constexpr int kViewColumnCountColumn = 2;
constexpr int kViewTextColumn = 7;

// TRIGGER$ columns; the body is the row's last column.
constexpr int kTriggerObjectColumn = 0;
constexpr int kTriggerTypeColumn = 1;
constexpr int kUpdateEventColumn = 2;
constexpr int kInsertEventColumn = 3;
constexpr int kDeleteEventColumn = 4;
constexpr int kBaseObjectColumn = 5;
constexpr int kDefinitionColumn = 8;
constexpr int kWhenClauseColumn = 9;

constexpr std::string_view kDatabaseTarget = "Database";

// A small count or code column; -1 when it holds no such number.
int smallNumberValue(const ColumnValue& column) {
    const DictionaryNumber value = column.isNull ? kNoNumber : dictionaryNumber(column.bytes);
    return value <= std::numeric_limits<std::int16_t>::max() ? static_cast<int>(value) : -1;
}

// A 0/1 flag column: 0 is one byte, 1 is two.
int eventValue(const ColumnValue& column) {
    if (column.bytes.size() == 1) return 0;
    if (column.bytes.size() == 2) return 1;
    return -1;
}

// A text column; a value of one byte or less counts as none.
std::optional<std::string> optionalText(const ColumnValue& column) {
    if (column.isNull || column.bytes.size() <= 1) return std::nullopt;
    return fromCodePage(column.bytes);
}

// An object number column; kNoNumber when it holds none.
DictionaryNumber objectNumberOf(const ColumnValue& column) {
    return column.isNull ? kNoNumber : dictionaryNumber(column.bytes);
}

// A base object of none or 0: the trigger is on the database.
bool isNone(DictionaryNumber number) { return number <= 0; }

int countObjectsOfType(const Catalog& catalog, int type) {
    return static_cast<int>(std::count_if(catalog.objectList.begin(), catalog.objectList.end(),
                                          [type](const ObjectEntry& o) { return o.type() == type; }));
}

// The scan's state for one run of the step.
class CodeScan {
public:
    CodeScan(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output, const ReleaseSegments& segments)
        : analysed_(analysed),
          state_(state),
          output_(output),
          segments_(segments),
          viewsPath_(output.path(kViewsScriptPath)),
          triggersPath_(output.path(kTriggersScriptPath)),
          viewObjects_(countObjectsOfType(analysed.catalog, kView)),
          triggerObjects_(countObjectsOfType(analysed.catalog, kTrigger)) {}

    // The blocks of both segments in block order, as a scan of the whole
    // file would meet them; a block that points outside itself ends the scan.
    void run() {
        const SegmentBlocks blocks(analysed_.database.blockIndex, {segments_.view, segments_.trigger});
        forEachSegmentBlock(analysed_.database.blockSource, blocks, [this](const BlockEntry&, const BlockView& block) {
            output_.checkpoint();
            return scanBlock(block);
        });
    }

private:
    bool scanBlock(const BlockView& block) {
        const auto keepGoing = [this] {
            output_.checkpoint();
            return true;
        };
        switch (classifyCodeBlock(block, segments_)) {
            case CodeBlockKind::View:
                return walkCodeRows(
                    block, kViewColumns, [this](auto columns) { writeView(decodeViewRow(columns)); }, keepGoing);
            case CodeBlockKind::Trigger:
                return walkCodeRows(
                    block, segments_.triggerColumns,
                    [this](auto columns) { writeTrigger(decodeTriggerRow(columns, segments_.triggerColumns)); },
                    keepGoing);
            case CodeBlockKind::None:
                break;
        }
        return true;
    }

    void writeView(const ViewRow& row) {
        std::string viewName;
        const std::optional<std::string> text = viewStatementOf(analysed_.catalog, analysed_.options, row, viewName);
        if (!text) return;
        output_.append(viewsPath_, *text);
        if (output_.noteWrittenName("view", viewName, sqlName(viewName))) ++state_.namesChangedOutsideTables;
        ProgressSink& sink = state_.sink();
        sink.setTableName(analysed_.database.release.shownText(viewName));
        sink.setFilePath(viewsPath_.string());
        ++state_.viewsWritten;
        sink.setCurrentProgress(SavingState::percent(state_.viewsWritten, viewObjects_));
        state_.countOverallUnit();
    }

    void writeTrigger(const TriggerRow& row) {
        const std::optional<TriggerDefinition> trigger = triggerDefinitionOf(analysed_.catalog, analysed_.options, row);
        if (!trigger) return;
        state_.currentTable = trigger->target ? trigger->target->name : std::string(kDatabaseTarget);
        const std::optional<std::string> text = triggerScriptText(*trigger);
        if (!text) return;
        ProgressSink& sink = state_.sink();
        sink.setTableName(analysed_.database.release.shownText(trigger->triggerName));
        sink.setFilePath(triggersPath_.string());
        ++state_.triggersWritten;
        sink.setCurrentProgress(SavingState::percent(state_.triggersWritten, triggerObjects_));
        state_.countOverallUnit();
        output_.append(triggersPath_, *text);
        if (output_.noteWrittenName("trigger", trigger->triggerName, sqlName(trigger->triggerName))) ++state_.namesChangedOutsideTables;
    }

    AnalysedDatabase analysed_;
    SavingState& state_;
    ScriptOutput& output_;
    ReleaseSegments segments_;
    std::filesystem::path viewsPath_;
    std::filesystem::path triggersPath_;
    int viewObjects_;
    int triggerObjects_;
};

}  // namespace

CodeBlockKind classifyCodeBlock(const BlockView& block, const ReleaseSegments& segments) {
    if (block.u8(kBlockTypeOffset) != kDataBlockType) return CodeBlockKind::None;
    const std::optional<std::uint8_t> format = block.u8(kBlockFormatOffset);
    if (!format || std::find(std::begin(kCodeBlockFormats), std::end(kCodeBlockFormats), *format) ==
                       std::end(kCodeBlockFormats)) {
        return CodeBlockKind::None;
    }
    const std::optional<std::uint32_t> object = block.u32(kDataObjectOffset);
    if (!object) return CodeBlockKind::None;
    if (*object == static_cast<std::uint32_t>(segments.view)) return CodeBlockKind::View;
    if (*object == static_cast<std::uint32_t>(segments.trigger)) return CodeBlockKind::Trigger;
    return CodeBlockKind::None;
}

ViewRow decodeViewRow(std::span<const ColumnValue> columns) {
    ViewRow row;
    row.objNumber = objectNumberOf(columns[kViewObjectColumn]);
    row.columnCount = std::max(smallNumberValue(columns[kViewColumnCountColumn]), 0);
    if (!columns[kViewTextColumn].isNull) row.text = fromCodePage(columns[kViewTextColumn].bytes);
    return row;
}

TriggerRow decodeTriggerRow(std::span<const ColumnValue> columns, int triggerColumns) {
    TriggerRow row;
    row.objNumber = objectNumberOf(columns[kTriggerObjectColumn]);
    row.triggerType = smallNumberValue(columns[kTriggerTypeColumn]);
    row.updateEvent = eventValue(columns[kUpdateEventColumn]);
    row.insertEvent = eventValue(columns[kInsertEventColumn]);
    row.deleteEvent = eventValue(columns[kDeleteEventColumn]);
    row.baseObject = objectNumberOf(columns[kBaseObjectColumn]);
    row.definition = optionalText(columns[kDefinitionColumn]);
    row.whenClause = optionalText(columns[kWhenClauseColumn]);
    row.body = optionalText(columns[static_cast<std::size_t>(triggerColumns - 1)]);
    return row;
}

bool walkCodeRows(const BlockView& block, int columnCount, const CodeRowHandler& onRow,
                  const std::function<bool()>& keepGoing) {
    RowWalkRules rules;
    rules.onlyFlag = kWholeRowFlag;
    rules.onlyColumnCount = columnCount;
    rules.fullSlotCountIsEmpty = true;
    RowPieces pieces(block, rules);
    std::vector<ColumnValue> columns;
    for (const RowPiece& piece : pieces) {
        if (!keepGoing()) return true;
        if (!readColumns(block, piece.firstColumnOffset(), columnCount, columns)) continue;
        onRow(columns);
    }
    return !pieces.broken();
}

std::optional<std::string> viewStatementOf(const Catalog& catalog, const RecoveryOptions& options, const ViewRow& row,
                                           std::string& viewName) {
    const ObjectEntry* view = catalog.findObject(row.objNumber);
    if (!view || !options.keepsOwner(view->owner())) return std::nullopt;
    // A view whose owner has no schema entry has no name to be created under.
    const SchemaEntry* schema = catalog.ownerOf(*view);
    if (!schema) return std::nullopt;
    if (static_cast<int>(catalog.columnsOf(view->objNumber).size()) < row.columnCount) return std::nullopt;
    viewName = view->name;
    return viewScriptText(schema->name, view->name, row.text);
}

std::optional<TriggerDefinition> triggerDefinitionOf(const Catalog& catalog, const RecoveryOptions& options,
                                                     const TriggerRow& row) {
    const ObjectEntry* object = catalog.findObject(row.objNumber);
    if (!object || !options.keepsOwner(object->owner())) return std::nullopt;
    const SchemaEntry* schema = catalog.ownerOf(*object);
    if (!schema) return std::nullopt;

    TriggerDefinition trigger;
    trigger.schemaName = schema->name;
    trigger.triggerName = object->name;
    trigger.triggerType = row.triggerType;
    trigger.insertEvent = row.insertEvent == 1;
    trigger.updateEvent = row.updateEvent == 1;
    trigger.deleteEvent = row.deleteEvent == 1;
    if (!isNone(row.baseObject)) {
        const ObjectEntry* base = catalog.findObject(row.baseObject);
        if (!base) return std::nullopt;
        TriggerDefinition::Target target;
        target.name = base->name;
        if (const SchemaEntry* baseSchema = catalog.ownerOf(*base)) {
            target.schemaName = baseSchema->name;
        }
        trigger.target = std::move(target);
    }
    trigger.definition = row.definition;
    trigger.whenClause = row.whenClause;
    trigger.body = row.body;
    return trigger;
}

void writeViewsAndTriggers(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output) {
    const std::optional<ReleaseSegments> segments = releaseSegments(analysed.database.release);
    if (!segments || !analysed.database.datafiles.isOpen()) return;
    CodeScan(analysed, state, output, *segments).run();
}

}  // namespace restorix
