#include "dictionary/code_rows.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "datafile/row_walk.h"
#include "datafile/segment_blocks.h"
#include "platform/codepage.h"

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

bool decodeViewAndTriggerRows(const Database& database, Catalog& catalog, JobControl& control) {
    const std::optional<ReleaseSegments> segments = releaseSegments(database.release);
    if (!segments) return true;
    const SegmentBlocks blocks(database.blockIndex, {segments->view, segments->trigger});
    const auto keepGoing = [&control] { return control.proceed(); };
    bool stopped = false;
    forEachSegmentBlock(database.blockSource, blocks, [&](const BlockEntry&, const BlockView& block) {
        if (!control.proceed()) {
            stopped = true;
            return false;
        }
        switch (classifyCodeBlock(block, *segments)) {
            case CodeBlockKind::View:
                return walkCodeRows(
                    block, kViewColumns, [&](auto columns) { catalog.codeRows.emplace_back(decodeViewRow(columns)); },
                    keepGoing);
            case CodeBlockKind::Trigger:
                return walkCodeRows(
                    block, segments->triggerColumns,
                    [&](auto columns) {
                        catalog.codeRows.emplace_back(decodeTriggerRow(columns, segments->triggerColumns));
                    },
                    keepGoing);
            case CodeBlockKind::None:
                break;
        }
        return true;
    });
    return !stopped && !control.stopRequested();
}

}  // namespace restorix
