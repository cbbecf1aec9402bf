#include "output/view_trigger_step.h"

#include <algorithm>
#include <vector>

#include "platform/codepage.h"
#include "output/batch_files.h"

namespace restorix {
namespace {

// VIEW$ and TRIGGER$ data object numbers and TRIGGER$ column counts by release.
constexpr CodeSegments kRelease9Segments{62, 82, 19};
constexpr CodeSegments kRelease10Segments{63, 81, 19};
constexpr CodeSegments kRelease11Segments{69, 156, 23};

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

// Row piece header: flag, lock byte, column count.
constexpr int kPieceFlagOffset = 0;
constexpr int kPieceColumnCountOffset = 2;
constexpr int kPieceHeaderLength = 3;

// The file is read this many blocks at a time.
constexpr std::size_t kScanChunkBlocks = 128;

constexpr std::string_view kDatabaseTarget = "Database";

// A NUMBER's value: 0 is stored as one byte, 1 to 99 as two (C1 d+1).
int smallNumberValue(const ColumnValue& column) {
    if (column.bytes.size() == 1) return 0;
    if (column.bytes.size() == 2) return column.bytes[1] - 1;
    return -1;
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

// An object number column; a one-byte value counts as none (all zero).
NumberBytes4 objectNumberOf(const ColumnValue& column, bool oneByteIsNone) {
    if (column.isNull || (oneByteIsNone && column.bytes.size() == 1)) return {};
    return numberBytes<4>(column.bytes);
}

bool isNone(const NumberBytes4& number) {
    return std::all_of(number.begin(), number.end(), [](std::uint8_t b) { return b == 0; });
}

int countObjectsOfType(const Catalog& catalog, int type) {
    return static_cast<int>(std::count_if(catalog.objectList.begin(), catalog.objectList.end(),
                                          [type](const ObjectEntry& o) { return o.type() == type; }));
}

// The scan's state for one run of the step.
class CodeScan {
public:
    CodeScan(Recovery& recovery, SavingState& state, ScriptOutput& output, const CodeSegments& segments)
        : recovery_(recovery),
          state_(state),
          output_(output),
          segments_(segments),
          viewsPath_(output.path(kViewsScriptPath)),
          triggersPath_(output.path(kTriggersScriptPath)),
          viewObjects_(countObjectsOfType(recovery.catalog, kView)),
          triggerObjects_(countObjectsOfType(recovery.catalog, kTrigger)) {}

    void run() {
        const std::int64_t length = recovery_.datafile.length();
        std::vector<std::uint8_t> chunk(kScanChunkBlocks * kBlockSize);
        for (std::int64_t chunkStart = 0; chunkStart < length;
             chunkStart += static_cast<std::int64_t>(chunk.size())) {
            std::fill(chunk.begin(), chunk.end(), std::uint8_t{0});
            const std::size_t read = recovery_.datafile.readAt(chunkStart, chunk);
            for (std::size_t offset = 0; offset < read; offset += kBlockSize) {
                output_.checkpoint();
                const BlockView block(std::span<const std::uint8_t, kBlockSize>(chunk.data() + offset, kBlockSize));
                if (!scanBlock(block)) return;
            }
            if (read < chunk.size()) return;
        }
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
        const std::optional<std::string> text = viewStatementOf(recovery_, row, viewName);
        if (!text) return;
        output_.append(viewsPath_, *text);
        ProgressSink& sink = state_.sink();
        sink.setTableName(viewName);
        sink.setFilePath(viewsPath_.string());
        ++state_.viewsWritten;
        sink.setCurrentProgress(SavingState::percent(state_.viewsWritten, viewObjects_));
        state_.countOverallUnit();
    }

    void writeTrigger(const TriggerRow& row) {
        const std::optional<TriggerDefinition> trigger = triggerDefinitionOf(recovery_, row);
        if (!trigger) return;
        state_.currentTable = trigger->target ? trigger->target->name : std::string(kDatabaseTarget);
        const std::optional<std::string> text = triggerScriptText(*trigger);
        if (!text) return;
        ProgressSink& sink = state_.sink();
        sink.setTableName(trigger->triggerName);
        sink.setFilePath(triggersPath_.string());
        ++state_.triggersWritten;
        sink.setCurrentProgress(SavingState::percent(state_.triggersWritten, triggerObjects_));
        state_.countOverallUnit();
        output_.append(triggersPath_, *text);
    }

    Recovery& recovery_;
    SavingState& state_;
    ScriptOutput& output_;
    CodeSegments segments_;
    std::filesystem::path viewsPath_;
    std::filesystem::path triggersPath_;
    int viewObjects_;
    int triggerObjects_;
};

}  // namespace

std::optional<CodeSegments> codeSegments(const ReleaseInfo& release) {
    if (release.isVersion9) return kRelease9Segments;
    if (release.isVersion10) return kRelease10Segments;
    if (release.isVersion11) return kRelease11Segments;
    return std::nullopt;
}

CodeBlockKind classifyCodeBlock(const BlockView& block, const CodeSegments& segments) {
    if (block.u8(kBlockTypeOffset) != kDataBlockType) return CodeBlockKind::None;
    const std::optional<std::uint8_t> format = block.u8(kBlockFormatOffset);
    if (!format || std::find(std::begin(kCodeBlockFormats), std::end(kCodeBlockFormats), *format) ==
                       std::end(kCodeBlockFormats)) {
        return CodeBlockKind::None;
    }
    const std::optional<std::uint32_t> object = block.u32le(kDataObjectOffset);
    if (!object) return CodeBlockKind::None;
    if (*object == static_cast<std::uint32_t>(segments.viewObject)) return CodeBlockKind::View;
    if (*object == static_cast<std::uint32_t>(segments.triggerObject)) return CodeBlockKind::Trigger;
    return CodeBlockKind::None;
}

ViewRow decodeViewRow(std::span<const ColumnValue> columns) {
    ViewRow row;
    row.objNumber = objectNumberOf(columns[kViewObjectColumn], /*oneByteIsNone=*/false);
    const std::span<const std::uint8_t> count = columns[kViewColumnCountColumn].bytes;
    row.columnCount = count.size() >= 2 ? count[1] - 1 : 0;
    if (!columns[kViewTextColumn].isNull) row.text = fromCodePage(columns[kViewTextColumn].bytes);
    return row;
}

TriggerRow decodeTriggerRow(std::span<const ColumnValue> columns, int triggerColumns) {
    TriggerRow row;
    row.objNumber = objectNumberOf(columns[kTriggerObjectColumn], /*oneByteIsNone=*/false);
    row.triggerType = smallNumberValue(columns[kTriggerTypeColumn]);
    row.updateEvent = eventValue(columns[kUpdateEventColumn]);
    row.insertEvent = eventValue(columns[kInsertEventColumn]);
    row.deleteEvent = eventValue(columns[kDeleteEventColumn]);
    row.baseObject = objectNumberOf(columns[kBaseObjectColumn], /*oneByteIsNone=*/true);
    row.definition = optionalText(columns[kDefinitionColumn]);
    row.whenClause = optionalText(columns[kWhenClauseColumn]);
    row.body = optionalText(columns[static_cast<std::size_t>(triggerColumns - 1)]);
    return row;
}

bool walkCodeRows(const BlockView& block, int columnCount, const CodeRowHandler& onRow,
                  const std::function<bool()>& keepGoing) {
    const DataBlockLayout layout = parseDataBlockLayout(block);
    if (!dataHeaderInBlock(layout)) return false;
    if (layout.rowSlotCount == kEmptySlot) return true;
    std::vector<ColumnValue> columns;
    for (int slot = 0; slot < layout.rowSlotCount; ++slot) {
        if (!keepGoing()) return true;
        const RowSlot rowSlot = rowPieceOffset(block, layout, slot);
        if (rowSlot.state == SlotState::OutOfBlock) return false;
        if (rowSlot.state != SlotState::Piece) continue;
        if (block.u8(rowSlot.offset + kPieceFlagOffset) != kWholeRowFlag) continue;
        if (block.u8(rowSlot.offset + kPieceColumnCountOffset) != columnCount) continue;
        columns.clear();
        if (!readColumns(block, rowSlot.offset + kPieceHeaderLength, columnCount, columns)) continue;
        onRow(columns);
    }
    return true;
}

bool ownerWanted(const Recovery& recovery, int ownerNumber) {
    if (recovery.recoverSysOnly) return ownerNumber == 0;
    if (recovery.recoverAllButSys) return ownerNumber != 0;
    return true;
}

std::optional<std::string> viewStatementOf(const Recovery& recovery, const ViewRow& row, std::string& viewName) {
    const Catalog& catalog = recovery.catalog;
    const ObjectEntry* view = catalog.findObject(row.objNumber);
    if (!view || !ownerWanted(recovery, view->owner())) return std::nullopt;
    // A view whose owner has no schema entry has no name to be created under.
    const SchemaEntry* schema = catalog.findSchemaByUser(view->owner());
    if (!schema) return std::nullopt;
    if (static_cast<int>(catalog.columnsOf(view->objNumber).size()) < row.columnCount) return std::nullopt;
    viewName = view->name;
    return viewScriptText(schema->name, view->name, row.text);
}

std::optional<TriggerDefinition> triggerDefinitionOf(const Recovery& recovery, const TriggerRow& row) {
    const Catalog& catalog = recovery.catalog;
    const ObjectEntry* object = catalog.findObject(row.objNumber);
    if (!object || !ownerWanted(recovery, object->owner())) return std::nullopt;
    const SchemaEntry* schema = catalog.findSchemaByUser(object->owner());
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
        if (const SchemaEntry* baseSchema = catalog.findSchemaByUser(base->owner())) {
            target.schemaName = baseSchema->name;
        }
        trigger.target = std::move(target);
    }
    trigger.definition = row.definition;
    trigger.whenClause = row.whenClause;
    trigger.body = row.body;
    return trigger;
}

void writeViewsAndTriggers(Recovery& recovery, SavingState& state, ScriptOutput& output) {
    const std::optional<CodeSegments> segments = codeSegments(recovery.release);
    if (!segments || !recovery.datafile.isOpen()) return;
    CodeScan(recovery, state, output, *segments).run();
}

}  // namespace restorix
