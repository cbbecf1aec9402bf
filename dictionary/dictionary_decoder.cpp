#include "dictionary/dictionary_decoder.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <string>
#include <unordered_set>

#include "datafile/block_scan.h"
#include "datafile/row_walk.h"
#include "datafile/segment_blocks.h"
#include "platform/codepage.h"

namespace restorix {

namespace {

// Row piece header bytes.
constexpr int kColumnCountOffset = 2;
constexpr int kClusterKeyIndexOffset = 3;  // member rows: the ordinal of their cluster key
constexpr int kFirstColumnOffset = 3;      // ordinary rows

// Row forms, recognised whatever their deleted bit: a deleted dictionary row
// (a dropped table, say) still describes what the database held.
constexpr std::uint8_t kOrdinaryRow = Head | First | Last;                        // 2C
constexpr std::uint8_t kClusterMemberRow = ClusterMember | Head | First | Last;   // 6C
constexpr std::uint8_t kClusterKeyRow = ClusterKey | Head | First | Last;         // AC
std::uint8_t rowForm(std::uint8_t flag) { return static_cast<std::uint8_t>(flag & ~Deleted); }

// USER$ rows in the user cluster (the key column USER# is not stored).
constexpr int kUserRowColumns9 = 17;
constexpr int kUserRowColumns = 19;
constexpr int kUserRowColumnsLong = 22;
constexpr std::size_t kUserNameColumn = 0;
constexpr std::size_t kUserTypeColumn = 1;
constexpr DictionaryNumber kUserType = 1;  // a role's type is 0

// OBJ$ rows.
constexpr int kObjectRowColumns = 17;
constexpr int kObjectRowColumnsLong = 18;
constexpr std::size_t kObjNumberColumn = 0;
constexpr std::size_t kDataObjNumberColumn = 1;
constexpr std::size_t kObjOwnerColumn = 2;
constexpr std::size_t kObjNameColumn = 3;
constexpr std::size_t kObjTypeColumn = 6;

// CON$ rows.
constexpr std::size_t kConOwnerColumn = 0;
constexpr std::size_t kConNameColumn = 1;
constexpr std::size_t kConNumberColumn = 2;

// COL$ rows in the C_OBJ# cluster (the key column OBJ# is not stored).
constexpr int kColumnRowColumns = 20;
constexpr int kColumnRowColumnsLong = 23;
constexpr std::size_t kColNumberColumn = 0;
constexpr std::size_t kColSegmentColumn = 1;
constexpr std::size_t kColNameColumn = 4;
constexpr std::size_t kColTypeColumn = 5;
constexpr std::size_t kColLengthColumn = 6;
constexpr std::size_t kColPrecisionColumn = 8;
constexpr std::size_t kColScaleColumn = 9;
constexpr std::size_t kColPropertyColumn = 13;
constexpr std::size_t kColCharsetFormColumn = 15;
constexpr int kFirstColumnNumber = 1;

constexpr std::int16_t kNoLength = 1;               // length plus one, when there is none
constexpr DictionaryNumber kHiddenColumnNumber = 0;  // COL# of hidden and SET UNUSED columns
constexpr std::int64_t kHiddenColumnProperty = 0x20;  // PROPERTY bit of a hidden (and an unused) column

// What a sound COL$ row can hold. TYPE# of every column type Oracle stores
// in a table, from VARCHAR2 (1) to BOOLEAN (252); any other is damage.
constexpr std::array<DictionaryNumber, 34> kOracleColumnTypes = {
    1, 2, 8, 9, 12, 23, 24, 58, 69, 96, 100, 101, 102, 105, 106, 111, 112,
    113, 114, 115, 119, 121, 122, 123, 127, 178, 179, 180, 181, 182, 183, 208, 231, 252};
static_assert(std::is_sorted(kOracleColumnTypes.begin(), kOracleColumnTypes.end()));
constexpr std::int64_t kLongestColumn = 32767;     // VARCHAR2 and RAW with extended sizes
constexpr std::int64_t kLargestNumberPrecision = 38;
constexpr std::int64_t kLargestFloatPrecision = 126;  // binary digits
constexpr std::int64_t kSmallestNumberScale = -84;
constexpr std::int64_t kLargestNumberScale = 127;
constexpr std::int64_t kLargestFieldPrecision = 9;  // fractional seconds, interval leading fields

// CCOL$ and CDEF$ rows in the C_COBJ# cluster (the key column OBJ# is not stored).
constexpr int kConstraintColumnRowColumns9 = 4;
constexpr int kConstraintColumnRowColumns = 5;
constexpr int kConstraintDefRowColumns = 20;
constexpr int kConstraintDefRowColumnsShort = 15;
constexpr std::size_t kCconNumberColumn = 0;
constexpr std::size_t kCcolColumnNumberColumn = 1;
constexpr std::size_t kCdefNumberColumn = 0;
constexpr std::size_t kCdefTypeColumn = 2;
constexpr std::size_t kCdefRefNumberColumn = 4;

// SOURCE$ rows: object number, line number, text.
constexpr std::uint8_t kSourceRowFlag = kOrdinaryRow;
constexpr int kSourceRowColumns = 3;
constexpr int kSourceObjectOffset = kFirstColumnOffset + 1;  // first data byte of the object number
constexpr std::size_t kSourceObjColumn = 0;
constexpr std::size_t kSourceLineColumn = 1;
constexpr std::size_t kSourceTextColumn = 2;

bool isRecordedObjectType(int type) {
    return type == kTable || type == kView || type == kProcedure || type == kFunction || type == kTrigger;
}

// TYPE# as the catalog keeps it: none for a type column holding zero,
// nothing, or a number beyond any column type.
int oracleTypeOf(std::span<const std::uint8_t> type) {
    const DictionaryNumber number = dictionaryNumber(type);
    if (number <= 0 || number > std::numeric_limits<std::int16_t>::max()) return oracle_type::kNone;
    return static_cast<int>(number);
}

// A length, precision or fractional-second precision plus one, as the
// catalog holds it; 1 when the column holds none.
std::int16_t plusOne(std::span<const std::uint8_t> stored) {
    const DictionaryNumber number = dictionaryNumber(stored);
    if (number < 0 || number >= std::numeric_limits<std::int16_t>::max()) return kNoLength;
    return static_cast<std::int16_t>(number + 1);
}

// A precision or scale, when the column holds a whole number (negative
// scales included).
std::optional<int> wholeNumberOf(std::span<const std::uint8_t> stored) {
    const std::optional<std::int64_t> value = decodeInteger(stored);
    if (!value) return std::nullopt;
    return static_cast<int>(*value);
}

bool isHiddenColumn(std::span<const std::uint8_t> property) {
    const std::optional<std::int64_t> flags = decodeInteger(property);
    return flags && *flags >= 0 && (*flags & kHiddenColumnProperty) != 0;
}

bool isOracleColumnType(DictionaryNumber type) {
    return std::binary_search(kOracleColumnTypes.begin(), kOracleColumnTypes.end(), type);
}

// Whether a COL$ value is NULL or a whole number from `low` to `high`.
bool absentOrWithin(bool isNull, std::span<const std::uint8_t> stored, std::int64_t low, std::int64_t high) {
    if (isNull) return true;
    const std::optional<std::int64_t> value = decodeInteger(stored);
    return value && *value >= low && *value <= high;
}

// What, if anything, makes a COL$ row no description of a column: its stored
// TYPE#, and its LENGTH, PRECISION# and SCALE as `within(column, low, high)`
// judges them. The entry holds what was read of the row.
template <typename Within>
ColumnDamage columnDamageOf(DictionaryNumber storedType, const ColumnEntry& entry, const Within& within) {
    if (!isOracleColumnType(storedType)) return ColumnDamage::Type;
    if (!within(kColLengthColumn, 0, kLongestColumn)) return ColumnDamage::Length;
    switch (entry.oracleType) {
        case oracle_type::kNumber:
            if (declaresFloat(entry))
                return within(kColPrecisionColumn, 1, kLargestFloatPrecision) ? ColumnDamage::None
                                                                              : ColumnDamage::Precision;
            if (!within(kColPrecisionColumn, 1, kLargestNumberPrecision)) return ColumnDamage::Precision;
            return within(kColScaleColumn, kSmallestNumberScale, kLargestNumberScale) ? ColumnDamage::None
                                                                                      : ColumnDamage::Scale;
        case oracle_type::kTimestamp:
        case oracle_type::kTimestampLocal:
        case oracle_type::kTimestampZone:
            // The fractional-second precision is held in the scale column.
            return within(kColScaleColumn, 0, kLargestFieldPrecision) ? ColumnDamage::None : ColumnDamage::Precision;
        case oracle_type::kIntervalYearMonth:
        case oracle_type::kIntervalDaySecond:
            if (!within(kColPrecisionColumn, 0, kLargestFieldPrecision)) return ColumnDamage::Precision;
            return within(kColScaleColumn, 0, kLargestFieldPrecision) ? ColumnDamage::None : ColumnDamage::Scale;
        default:
            return ColumnDamage::None;
    }
}

std::string lineFeedsAsSpaces(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

}  // namespace

// --- Cluster keys of one block ---------------------------------------------

bool BlockClusterKeys::enterBlock(std::int64_t blockNumber) {
    if (blockNumber == blockNumber_) return false;
    blockNumber_ = blockNumber;
    listPositions_.clear();
    return true;
}

int BlockClusterKeys::addKey() {
    listPositions_.emplace_back();
    return static_cast<int>(listPositions_.size()) - 1;
}

void BlockClusterKeys::keep(int ordinal, std::size_t listPosition) {
    if (ordinal >= 0 && static_cast<std::size_t>(ordinal) < listPositions_.size())
        listPositions_[static_cast<std::size_t>(ordinal)] = listPosition;
}

std::optional<std::size_t> BlockClusterKeys::find(int ordinal) const {
    if (ordinal < 0 || static_cast<std::size_t>(ordinal) >= listPositions_.size()) return std::nullopt;
    return listPositions_[static_cast<std::size_t>(ordinal)];
}

// --- Row decoding ------------------------------------------------------------

struct DictionaryRowDecoder::Row {
    std::uint8_t form = 0;      // flag byte without its deleted bit
    int columnCount = 0;
    int keyIndex = 0;           // member rows: the ordinal of their cluster key
    std::int64_t blockNumber = 0;
    bool columnsRead = false;   // every stored column lies inside the block
    const std::vector<ColumnValue>* columns = nullptr;

    // Columns not stored at the end of a row are NULL.
    bool isNull(std::size_t column) const { return column >= columns->size() || (*columns)[column].isNull; }
    // The column's bytes; empty when NULL.
    std::span<const std::uint8_t> value(std::size_t column) const {
        return isNull(column) ? std::span<const std::uint8_t>{} : (*columns)[column].bytes;
    }
    std::string text(std::size_t column) const { return fromCodePage(value(column)); }
    std::int32_t block32() const { return static_cast<std::int32_t>(blockNumber); }
};

bool DictionaryRowDecoder::decodeRow(const BlockView& block, int pieceOffset, std::int32_t segment,
                                     std::int64_t blockNumber) {
    const auto flag = block.u8(pieceOffset);
    if (!flag) return true;
    const RowPieceClass pieceClass = rowPieceHeaderLength(*flag);
    if (!pieceClass.decoded) return true;
    if (!recovery_.analysisControl.proceed()) return false;
    const auto columnCount = block.u8(pieceOffset + kColumnCountOffset);
    if (!columnCount) return true;

    Row row;
    row.form = rowForm(*flag);
    row.columnCount = *columnCount;
    row.keyIndex = block.u8(pieceOffset + kClusterKeyIndexOffset).value_or(0);
    row.blockNumber = blockNumber;
    // A row whose columns run past the block is taken as unreadable as a whole.
    row.columnsRead = readColumns(block, pieceOffset + pieceClass.headerLength, row.columnCount, columns_);
    row.columns = &columns_;

    switch (segment) {
        case kUserClusterSegment: decodeUserClusterRow(row); break;
        case kObjectTableSegment: decodeObjectRow(row); break;
        case kConstraintNameSegment: decodeConstraintNameRow(row); break;
        case kObjectClusterSegment: decodeObjectClusterRow(row); break;
        case kConstraintClusterSegment: decodeConstraintClusterRow(row); break;
        default: break;
    }
    return true;
}

// User cluster: keys are user numbers, members USER$ rows.
void DictionaryRowDecoder::decodeUserClusterRow(const Row& row) {
    userKeys_.enterBlock(row.blockNumber);
    if (row.form == kClusterKeyRow) {
        addUserKey(row);
        return;
    }
    const bool userRowCount = (row.columnCount == kUserRowColumns9 && recovery_.database.release.isVersion9) ||
                              row.columnCount == kUserRowColumns || row.columnCount == kUserRowColumnsLong;
    if (row.form == kClusterMemberRow && userRowCount) addUserRow(row);
}

void DictionaryRowDecoder::addUserKey(const Row& row) {
    const int ordinal = userKeys_.addKey();
    if (!row.columnsRead) return;
    UserClusterKey entry;
    entry.userNumber = dictionaryNumber(row.value(0));
    if (entry.userNumber == kNoNumber) return;
    entry.slot = static_cast<std::uint8_t>(ordinal + 1);
    entry.blockNumber = row.block32();
    userKeys_.keep(ordinal, recovery_.catalog.userClusterKeys.size());
    recovery_.catalog.appendUserClusterKey(entry);
}

void DictionaryRowDecoder::addUserRow(const Row& row) {
    if (!row.columnsRead || dictionaryNumber(row.value(kUserTypeColumn)) != kUserType) return;
    const auto key = userKeys_.find(row.keyIndex);
    if (!key) return;
    SchemaEntry entry;
    entry.name = row.text(kUserNameColumn);
    if (entry.name.empty()) return;
    if (!recovery_.options.keepsSchema(equalsIgnoringAsciiCase(entry.name, "SYS"))) return;
    entry.userNumber = recovery_.catalog.userClusterKeys[*key].userNumber;
    entry.clusterSlot = static_cast<std::uint8_t>(row.keyIndex + 1);
    entry.blockNumber = row.block32();
    recovery_.catalog.appendSchema(entry);
}

// OBJ$: tables, views, procedures, functions and triggers.
void DictionaryRowDecoder::decodeObjectRow(const Row& row) {
    if (row.form != kOrdinaryRow || !row.columnsRead) return;
    if (row.columnCount != kObjectRowColumns && row.columnCount != kObjectRowColumnsLong) return;
    ObjectEntry entry;
    entry.objType = static_cast<int>(dictionaryNumber(row.value(kObjTypeColumn)));
    if (!isRecordedObjectType(entry.type())) return;
    entry.objNumber = dictionaryNumber(row.value(kObjNumberColumn));
    entry.ownerNumber = dictionaryNumber(row.value(kObjOwnerColumn));
    // Object numbers are 32-bit in the database; anything else is no object.
    if (entry.objNumber == kNoNumber || entry.objNumber > std::numeric_limits<std::int32_t>::max()) return;
    if (entry.ownerNumber == kNoNumber || !recovery_.options.keepsOwner(entry.owner())) return;
    entry.objectNumber = static_cast<std::int32_t>(entry.objNumber);
    entry.name = row.text(kObjNameColumn);
    entry.blockNumber = row.block32();
    // Views and code have no segment: their DATAOBJ# is NULL.
    const DictionaryNumber dataObject = dictionaryNumber(row.value(kDataObjNumberColumn));
    const bool dataObjectFits = dataObject != kNoNumber && dataObject <= std::numeric_limits<std::int32_t>::max();
    entry.dataObjectNumber = dataObjectFits ? static_cast<std::int32_t>(dataObject) : entry.objectNumber;
    recovery_.catalog.appendObject(entry);
}

// CON$: constraint names.
void DictionaryRowDecoder::decodeConstraintNameRow(const Row& row) {
    if (row.form != kOrdinaryRow || !row.columnsRead) return;
    ConstraintNameEntry entry;
    entry.ownerNumber = dictionaryNumber(row.value(kConOwnerColumn));
    if (entry.ownerNumber == kNoNumber || !recovery_.options.keepsOwner(entry.ownerNumber)) return;
    entry.name = row.text(kConNameColumn);
    entry.conNumber = dictionaryNumber(row.value(kConNumberColumn));
    recovery_.catalog.appendConstraintName(entry);
}

// C_OBJ# cluster: keys are table object numbers, members COL$ rows.
void DictionaryRowDecoder::decodeObjectClusterRow(const Row& row) {
    if (tableKeys_.enterBlock(row.blockNumber)) recovery_.catalog.clearTableClusterKeys();
    if (row.form == kClusterKeyRow) {
        addTableKey(row);
        return;
    }
    const bool columnRowCount = row.columnCount == kColumnRowColumns || row.columnCount == kColumnRowColumnsLong;
    if (row.form == kClusterMemberRow && columnRowCount) addColumnRow(row);
}

void DictionaryRowDecoder::addTableKey(const Row& row) {
    const int ordinal = tableKeys_.addKey();
    if (!row.columnsRead) return;
    TableClusterKey entry;
    entry.objNumber = dictionaryNumber(row.value(0));
    if (entry.objNumber == kNoNumber) return;
    entry.blockNumber = row.block32();
    entry.slot = static_cast<std::uint16_t>(ordinal + 1);
    const std::size_t position = recovery_.catalog.tableClusterKeys.size();
    // Beyond the table's 19 keys a key is not held, and its rows find no table.
    if (recovery_.catalog.appendTableClusterKey(entry)) tableKeys_.keep(ordinal, position);
}

const ObjectEntry* DictionaryRowDecoder::tableOfTableKey(const Row& row) const {
    const auto position = tableKeys_.find(row.keyIndex);
    if (!position) return nullptr;
    return recovery_.catalog.findObject(recovery_.catalog.tableClusterKeys[*position].objNumber);
}

void DictionaryRowDecoder::addColumnRow(const Row& row) {
    if (!row.columnsRead) return;
    const ObjectEntry* table = tableOfTableKey(row);
    if (!table || !recovery_.options.keepsOwner(table->owner())) return;

    ColumnEntry entry;
    entry.objNumber = table->objNumber;
    entry.name = row.text(kColNameColumn);
    entry.oracleType = oracleTypeOf(row.value(kColTypeColumn));
    const DictionaryNumber segmentColumn = dictionaryNumber(row.value(kColSegmentColumn));
    if (segmentColumn > 0 && segmentColumn <= std::numeric_limits<std::int16_t>::max())
        entry.segmentColumn = static_cast<int>(segmentColumn);
    // A CHARSETFORM missing or NULL is the database character set.
    if (dictionaryNumber(row.value(kColCharsetFormColumn)) == kNationalCharsetForm)
        entry.charsetForm = kNationalCharsetForm;
    entry.precision = wholeNumberOf(row.value(kColPrecisionColumn));
    const int type = entry.oracleType;
    if (type == oracle_type::kNumber) {
        entry.scale = wholeNumberOf(row.value(kColScaleColumn));
        entry.length = plusOne(row.value(kColPrecisionColumn));
    } else if (type == oracle_type::kTimestamp || type == oracle_type::kTimestampLocal ||
               type == oracle_type::kTimestampZone) {
        // The fractional-second precision is held in the scale column.
        entry.length = plusOne(row.value(kColScaleColumn));
    } else if (type == oracle_type::kIntervalYearMonth || type == oracle_type::kIntervalDaySecond) {
        // The leading field's precision, and the fractional seconds' as the scale.
        entry.length = plusOne(row.value(kColPrecisionColumn));
        entry.scale = wholeNumberOf(row.value(kColScaleColumn));
    } else {
        entry.length = plusOne(row.value(kColLengthColumn));
    }
    entry.damage = columnDamageOf(dictionaryNumber(row.value(kColTypeColumn)), entry,
                                  [&row](std::size_t column, std::int64_t low, std::int64_t high) {
                                      return absentOrWithin(row.isNull(column), row.value(column), low, high);
                                  });

    // Hidden and SET UNUSED columns (COL# 0, PROPERTY marks them hidden) are
    // neither declared nor written: only a place they keep in the stored row
    // counts. Column numbers of declared columns are positive and 16-bit.
    const DictionaryNumber number = dictionaryNumber(row.value(kColNumberColumn));
    if (number == kHiddenColumnNumber && isHiddenColumn(row.value(kColPropertyColumn))) {
        entry.damage = ColumnDamage::None;
        if (entry.segmentColumn > 0) recovery_.catalog.appendHiddenColumn(entry);
        return;
    }
    if (number < kFirstColumnNumber || number > std::numeric_limits<std::int16_t>::max()) {
        entry.damage = ColumnDamage::Number;
        recovery_.catalog.appendHiddenColumn(entry);
        return;
    }
    entry.columnNumber = static_cast<int>(number);
    recovery_.catalog.appendColumn(entry);
}

// C_COBJ# cluster: keys are table object numbers, members CCOL$ and CDEF$ rows.
void DictionaryRowDecoder::decodeConstraintClusterRow(const Row& row) {
    constraintKeys_.enterBlock(row.blockNumber);
    if (row.form == kClusterKeyRow) {
        addConstraintKey(row);
        return;
    }
    if (row.form != kClusterMemberRow) return;
    const int columnRowCount =
        recovery_.database.release.isVersion9 ? kConstraintColumnRowColumns9 : kConstraintColumnRowColumns;
    if (row.columnCount == columnRowCount) addConstraintColumnRow(row);
    else if (row.columnCount == kConstraintDefRowColumns || row.columnCount == kConstraintDefRowColumnsShort)
        addConstraintDefRow(row);
}

void DictionaryRowDecoder::addConstraintKey(const Row& row) {
    const int ordinal = constraintKeys_.addKey();
    if (!row.columnsRead) return;
    ConstraintClusterKey entry;
    entry.objNumber = dictionaryNumber(row.value(0));
    entry.slot = static_cast<std::uint8_t>(ordinal);
    entry.blockNumber = row.block32();
    constraintKeys_.keep(ordinal, recovery_.catalog.constraintClusterKeys.size());
    recovery_.catalog.appendConstraintClusterKey(entry);
}

const ObjectEntry* DictionaryRowDecoder::tableOfConstraintKey(const Row& row) const {
    const auto position = constraintKeys_.find(row.keyIndex);
    if (!position) return nullptr;
    return recovery_.catalog.findObject(recovery_.catalog.constraintClusterKeys[*position].objNumber);
}

void DictionaryRowDecoder::addConstraintColumnRow(const Row& row) {
    if (!row.columnsRead) return;
    ConstraintColumnEntry entry;
    entry.conNumber = dictionaryNumber(row.value(kCconNumberColumn));
    const DictionaryNumber column = dictionaryNumber(row.value(kCcolColumnNumberColumn));
    entry.columnNumber = column <= std::numeric_limits<std::int16_t>::max() ? static_cast<std::int32_t>(column) : 0;
    entry.clusterSlot = row.keyIndex;
    recovery_.catalog.appendConstraintColumn(entry);
}

void DictionaryRowDecoder::addConstraintDefRow(const Row& row) {
    if (!row.columnsRead) return;
    const ObjectEntry* table = tableOfConstraintKey(row);
    if (!table || !recovery_.options.keepsOwner(table->owner())) return;
    ConstraintDefEntry entry;
    entry.conNumber = dictionaryNumber(row.value(kCdefNumberColumn));
    entry.objNumber = table->objNumber;
    const DictionaryNumber type = dictionaryNumber(row.value(kCdefTypeColumn));
    entry.conType = static_cast<std::uint8_t>(type > 0 && type <= UINT8_MAX ? type : 0);
    entry.refConNumber = dictionaryNumber(row.value(kCdefRefNumberColumn));
    entry.condition = row.text(static_cast<std::size_t>(row.columnCount - 1));
    entry.clusterSlot = static_cast<std::uint8_t>(row.keyIndex);
    entry.blockNumber = row.block32();
    recovery_.catalog.appendConstraintDef(entry);
}

// --- The passes ---------------------------------------------------------------

namespace {

struct PassSegment {
    std::int32_t dataObject;
    const char* phaseText;  // nullptr: the segment shows none
    bool movesProgress;     // the bar follows this segment's blocks
};

constexpr PassSegment kFirstPass[] = {
    {kUserClusterSegment, kReadingSchemaText, true},
    {kObjectTableSegment, kReadingTablesText, true},
    {kConstraintNameSegment, kReadingConstraintsText, true},
};
constexpr PassSegment kSecondPass[] = {
    {kObjectClusterSegment, nullptr, false},
    {kConstraintClusterSegment, nullptr, true},
};

const PassSegment* segmentOf(std::span<const PassSegment> segments, std::int32_t dataObject) {
    for (const PassSegment& segment : segments) {
        if (segment.dataObject == dataObject) return &segment;
    }
    return nullptr;
}

// The pass's blocks, in block order.
std::vector<std::int32_t> dataObjectsOf(std::span<const PassSegment> segments) {
    std::vector<std::int32_t> dataObjects;
    for (const PassSegment& segment : segments) dataObjects.push_back(segment.dataObject);
    return dataObjects;
}

// The bar's position for a block: (offset - 1) * 100 / file length.
int progressAt(std::int64_t blockNumber, std::int64_t fileLength) {
    if (fileLength <= 0) return 0;
    const std::int64_t offset = blockNumber * kBlockSize;
    return static_cast<int>(std::clamp<std::int64_t>((offset - 1) * 100 / fileLength, 0, 100));
}

// Decodes every row of one block, whatever its deleted bit; false when
// stopped. A block whose header or row directory points outside it gives the
// rows found before that point and is counted as not read.
bool decodeBlockRows(Recovery& recovery, DictionaryRowDecoder& decoder, const BlockView& block,
                     std::int32_t segment, std::int64_t blockNumber) {
    JobControl& control = recovery.analysisControl;
    RowPieces pieces(block);
    for (const RowPiece& piece : pieces) {
        if (!control.proceed()) return false;
        if (!decoder.decodeRow(block, piece.offset, segment, blockNumber)) return false;
    }
    if (pieces.broken()) ++recovery.catalog.dictionaryBlocksNotRead;
    return true;
}

bool runPass(Recovery& recovery, ProgressSink& progress, std::span<const PassSegment> segments) {
    if (!recovery.analysisControl.proceed()) return false;
    DictionaryRowDecoder decoder(recovery);
    const std::int64_t fileLength = recovery.database.datafiles.system().length();
    const PassSegment* shownSegment = nullptr;
    const SegmentBlocks blocks(recovery.database.blockIndex, dataObjectsOf(segments));
    return forEachSegmentBlock(
        recovery.database.blockSource, blocks,
        [&](const BlockEntry& entry, const BlockView& block) {
            if (!recovery.analysisControl.proceed()) return false;
            const PassSegment* segment = segmentOf(segments, entry.dataObjectId);
            if (segment != shownSegment && segment->phaseText) progress.setPhase(segment->phaseText);
            shownSegment = segment;
            if (segment->movesProgress) progress.setProgress(progressAt(entry.blockNumber, fileLength));
            return decodeBlockRows(recovery, decoder, block, entry.dataObjectId, entry.blockNumber);
        },
        // The rest of the segment is still read.
        [&](const BlockEntry&) { ++recovery.catalog.dictionaryBlocksNotRead; });
}

}  // namespace

bool decodeDictionaryPass1(Recovery& recovery, ProgressSink& progress) {
    return runPass(recovery, progress, kFirstPass);
}

bool decodeDictionaryPass2(Recovery& recovery, ProgressSink& progress) {
    progress.setPhase(kReadingColumnsText);
    return runPass(recovery, progress, kSecondPass);
}

// --- Stored source -------------------------------------------------------------

namespace {

// Whether a SOURCE$ row may start at `position`: the row's flag and column
// count. Rows are found by their bytes, not through the row directory.
bool looksLikeSourceRow(const BlockView& block, long position) {
    return block.u8(position) == kSourceRowFlag && block.u8(position + kColumnCountOffset) == kSourceRowColumns;
}

// The SOURCE$ row at `position` when it is a line of a wanted object; its
// columns must lie inside the block.
std::optional<SourceLineEntry> sourceLineAt(const BlockView& block, long position,
                                            const std::unordered_set<DictionaryNumber>& wanted,
                                            std::vector<ColumnValue>& columns) {
    if (!readColumns(block, static_cast<int>(position) + kFirstColumnOffset, kSourceRowColumns, columns))
        return std::nullopt;
    const auto valueOf = [&](std::size_t column) {
        return columns[column].isNull ? std::span<const std::uint8_t>{} : columns[column].bytes;
    };
    SourceLineEntry line;
    line.objNumber = dictionaryNumber(valueOf(kSourceObjColumn));
    if (!wanted.contains(line.objNumber)) return std::nullopt;
    const DictionaryNumber lineNumber = dictionaryNumber(valueOf(kSourceLineColumn));
    if (lineNumber == kNoNumber || lineNumber > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    line.lineNumber = static_cast<std::int32_t>(lineNumber);
    line.text = lineFeedsAsSpaces(fromCodePage(valueOf(kSourceTextColumn)));
    return line;
}

}  // namespace

std::optional<StoredSource> readStoredSource(const Database& database, std::span<const DictionaryNumber> objects,
                                             JobControl& control) {
    StoredSource source;
    const std::unordered_set<DictionaryNumber> wanted(objects.begin(), objects.end());
    const std::int32_t segment = sourceSegment(database.release);
    if (!wanted.empty() && segment != 0) {
        std::vector<ColumnValue> columns;
        const SegmentBlocks blocks(database.blockIndex, segment);
        const auto readBlock = [&](const BlockEntry&, const BlockView& view) {
            if (!control.proceed()) return false;
            for (long p = 0; p < view.size(); ++p) {
                if (!looksLikeSourceRow(view, p)) continue;
                std::optional<SourceLineEntry> line = sourceLineAt(view, p, wanted, columns);
                if (!line) continue;
                if (!control.proceed()) return false;
                source.linesOf(line->objNumber).append(*line);
            }
            return true;
        };
        if (!forEachSegmentBlock(database.blockSource, blocks, readBlock)) return std::nullopt;
    }
    return source;
}

bool decodeStoredSource(const Database& database, Catalog& catalog, JobControl& control) {
    std::vector<DictionaryNumber> objects;
    for (const ObjectEntry& object : catalog.objectList)
        if (isStoredCode(object) && catalog.ownerOf(object)) objects.push_back(object.objNumber);
    std::optional<StoredSource> source = readStoredSource(database, objects, control);
    if (!source) return false;
    catalog.storedSource = std::move(*source);
    return true;
}

}  // namespace restorix
