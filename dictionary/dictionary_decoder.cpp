#include "dictionary/dictionary_decoder.h"

#include <algorithm>
#include <span>
#include <string>

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

// NUMBER bytes.
constexpr std::uint8_t kOneDigitExponent = 0xC1;
constexpr std::uint8_t kTwoDigitExponent = 0xC2;
constexpr std::uint8_t kThreeDigitExponent = 0xC3;
constexpr std::uint8_t kZeroNumber = 0x80;
constexpr NumberBytes2 kUserZeroKey{kOneDigitExponent, 0x01};  // how the catalog holds the number 0
constexpr int kSysUser = 0;

// USER$ rows in the user cluster (the key column USER# is not stored).
constexpr int kUserRowColumns9 = 17;
constexpr int kUserRowColumns = 19;
constexpr int kUserRowColumnsLong = 22;
constexpr std::size_t kUserNameColumn = 0;
constexpr std::size_t kUserTypeColumn = 1;
constexpr std::size_t kUserTypeLength = 2;  // type 1 (a user); a role's type 0 is the single byte 80
constexpr std::size_t kMaxUserKeyLength = 2;  // user numbers up to 99

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
constexpr std::int32_t kUnknownConstraintOwner = 255;

// COL$ rows in the C_OBJ# cluster (the key column OBJ# is not stored).
constexpr int kColumnRowColumns = 20;
constexpr int kColumnRowColumnsLong = 23;
constexpr std::size_t kColNumberColumn = 0;
constexpr std::size_t kColNameColumn = 4;
constexpr std::size_t kColTypeColumn = 5;
constexpr std::size_t kColLengthColumn = 6;
constexpr std::size_t kColPrecisionColumn = 8;
constexpr std::size_t kColScaleColumn = 9;
constexpr std::size_t kMaxTableKeyLength = 4;
constexpr std::uint8_t kSmallestColumnDigit = 2;   // column 1
constexpr std::uint8_t kLargestColumnDigit = 100;  // column 99

// Type codes: the type number plus one, and this system's own NUMBER forms.
constexpr std::uint8_t kNumberTypeCode = 3;
constexpr std::uint8_t kTimestampTypeCode = 181;
constexpr std::uint8_t kTimestampLocalTypeCode = 232;
constexpr std::uint8_t kUntypedTypeCode = 1;        // a type column holding zero or nothing
constexpr std::uint8_t kOddTypeCode = 255;          // a type number of an unexpected form
constexpr std::uint8_t kNumberNoPrecision = 240;    // NUMBER, NUMBER(*,0)
constexpr std::uint8_t kNumberPrecisionScale = 241; // NUMBER(p,s)
constexpr std::uint8_t kNumberPrecisionOnly = 242;  // FLOAT(p)
constexpr int kNoScale = 255;                       // the scale column is NULL
constexpr int kZeroScale = kZeroNumber;             // the scale column holds 0
constexpr int kMaxPrecisionLength = 3;
constexpr std::int16_t kNoLength = 1;               // length plus one, when there is none

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

// The recovery option decides whose users, objects, columns and constraints
// enter the catalog; the tests are made only when exactly one option is set.
enum class SchemaFilter { KeepsNothing, SysOnly, AllButSys, All };

SchemaFilter schemaFilterOf(const Recovery& recovery) {
    const int optionsSet = int{recovery.recoverSysOnly} + int{recovery.recoverAllButSys} + int{recovery.recoverAll};
    if (optionsSet != 1) return SchemaFilter::KeepsNothing;
    if (recovery.recoverSysOnly) return SchemaFilter::SysOnly;
    if (recovery.recoverAllButSys) return SchemaFilter::AllButSys;
    return SchemaFilter::All;
}

bool keepsSchema(SchemaFilter filter, bool isSys) {
    switch (filter) {
        case SchemaFilter::SysOnly: return isSys;
        case SchemaFilter::AllButSys: return !isSys;
        case SchemaFilter::All: return true;
        case SchemaFilter::KeepsNothing: return false;
    }
    return false;
}

bool keepsOwner(const Recovery& recovery, int owner) {
    return keepsSchema(schemaFilterOf(recovery), owner == kSysUser);
}

bool isRecordedObjectType(int type) {
    return type == kTable || type == kView || type == kProcedure || type == kFunction || type == kTrigger;
}

// An owner column as the catalog holds it: the single byte of zero as C1 01,
// else its first two stored bytes.
NumberBytes4 ownerBytesOf(std::span<const std::uint8_t> owner) {
    if (owner.size() == 1) return {kUserZeroKey[0], kUserZeroKey[1], 0, 0};
    return {owner[0], owner.size() > 1 ? owner[1] : std::uint8_t{0}, 0, 0};
}

// The stored type number plus one, reduced to 8 bits. A two-byte value gives
// its digit byte whatever its exponent, as the dictionary's types below 100 are
// all stored that way.
std::uint8_t typeCodeOf(std::span<const std::uint8_t> type) {
    if (type.size() == 2) return type[1];
    if (type.size() > 2) {
        if (type[0] != kTwoDigitExponent && type[0] != kThreeDigitExponent) return kOddTypeCode;
        return static_cast<std::uint8_t>(decodeSmallNumber(type) + 1);
    }
    return kUntypedTypeCode;
}

// The declared length plus one, as the length column stores it.
std::int16_t declaredLengthOf(std::span<const std::uint8_t> length) {
    if (length.size() == 2 && length[0] == kOneDigitExponent) return length[1];
    if (length.size() == 2 && length[0] == kTwoDigitExponent) return static_cast<std::int16_t>((length[1] - 1) * 100 + 1);
    if (length.size() == 3) return static_cast<std::int16_t>((length[1] - 1) * 100 + length[2]);
    return kNoLength;
}

struct Precision {
    bool isNull = true;
    std::size_t storedLength = 0;
    std::int16_t value = kNoLength;  // the precision plus one
};

Precision precisionOf(bool isNull, std::span<const std::uint8_t> precision) {
    Precision result;
    result.isNull = isNull;
    result.storedLength = isNull ? 0 : precision.size();
    if (precision.size() == 2) result.value = precision[1];
    if (precision.size() == 3) result.value = static_cast<std::int16_t>((precision[1] - 1) * 100 + precision[2]);
    return result;
}

struct Scale {
    int stored = kNoScale;    // 255 for NULL, 128 for zero, else the digit byte
    std::optional<int> value;
};

Scale scaleOf(bool isNull, std::span<const std::uint8_t> scale) {
    if (isNull || scale.empty()) return {};
    if (scale.size() == 1) return {scale[0], scale[0] == kZeroNumber ? std::optional<int>(0) : std::nullopt};
    // Negative scales (and those of 100 and above) are stored otherwise; they keep no value.
    const bool oneDigit = scale.size() == 2 && scale[0] == kOneDigitExponent;
    return {scale[1], oneDigit ? std::optional<int>(scale[1] - 1) : std::nullopt};
}

std::uint8_t numberTypeCode(const Precision& precision, const Scale& scale) {
    const bool precisionGiven = precision.storedLength >= 1 && precision.storedLength <= kMaxPrecisionLength;
    if (precision.isNull && (scale.stored == kNoScale || scale.stored == kZeroScale)) return kNumberNoPrecision;
    if (precisionGiven && scale.stored != kNoScale) return kNumberPrecisionScale;
    if (precisionGiven) return kNumberPrecisionOnly;
    return kNumberTypeCode;
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
    const bool userRowCount = (row.columnCount == kUserRowColumns9 && recovery_.release.isVersion9) ||
                              row.columnCount == kUserRowColumns || row.columnCount == kUserRowColumnsLong;
    if (row.form == kClusterMemberRow && userRowCount) addUserRow(row);
}

void DictionaryRowDecoder::addUserKey(const Row& row) {
    const int ordinal = userKeys_.addKey();
    const auto key = row.value(0);
    if (!row.columnsRead || key.empty() || key.size() > kMaxUserKeyLength) return;
    UserClusterKey entry;
    entry.keyBytes = key.size() == 1 ? kUserZeroKey : numberBytes<2>(key);
    entry.slot = static_cast<std::uint8_t>(ordinal + 1);
    entry.blockNumber = row.block32();
    userKeys_.keep(ordinal, recovery_.catalog.userClusterKeys.size());
    recovery_.catalog.appendUserClusterKey(entry);
}

void DictionaryRowDecoder::addUserRow(const Row& row) {
    if (!row.columnsRead || row.value(kUserTypeColumn).size() != kUserTypeLength) return;
    // Users of number 100 and above have no kept key, so they are not recorded.
    const auto key = userKeys_.find(row.keyIndex);
    if (!key) return;
    SchemaEntry entry;
    entry.name = row.text(kUserNameColumn);
    if (entry.name.empty()) return;
    if (!keepsSchema(schemaFilterOf(recovery_), equalsIgnoringAsciiCase(entry.name, "SYS"))) return;
    entry.userNumber = recovery_.catalog.userClusterKeys[*key].keyBytes;
    entry.clusterSlot = static_cast<std::uint8_t>(row.keyIndex + 1);
    entry.blockNumber = row.block32();
    recovery_.catalog.appendSchema(entry);
}

// OBJ$: tables, views, procedures, functions and triggers.
void DictionaryRowDecoder::decodeObjectRow(const Row& row) {
    if (row.form != kOrdinaryRow || !row.columnsRead) return;
    if (row.columnCount != kObjectRowColumns && row.columnCount != kObjectRowColumnsLong) return;
    const auto number = row.value(kObjNumberColumn);
    const auto owner = row.value(kObjOwnerColumn);
    const auto type = row.value(kObjTypeColumn);
    if (number.empty() || owner.empty() || type.size() < 2) return;

    ObjectEntry entry;
    entry.objType = numberBytes<2>(type);
    if (!isRecordedObjectType(entry.type())) return;
    entry.objectNumber = decodeSmallNumber(number);
    if (entry.objectNumber < 0) return;  // one million and above
    entry.objNumber = numberBytes<4>(number);
    entry.ownerNumber = ownerBytesOf(owner);
    if (!keepsOwner(recovery_, entry.owner())) return;
    entry.name = row.text(kObjNameColumn);
    entry.blockNumber = row.block32();
    // Views and code have no segment: their DATAOBJ# is NULL.
    const int dataObject = decodeSmallNumber(row.value(kDataObjNumberColumn));
    entry.dataObjectNumber = dataObject >= 0 ? dataObject : entry.objectNumber;
    recovery_.catalog.appendObject(entry);
}

// CON$: constraint names.
void DictionaryRowDecoder::decodeConstraintNameRow(const Row& row) {
    if (row.form != kOrdinaryRow || !row.columnsRead) return;
    const auto owner = row.value(kConOwnerColumn);
    ConstraintNameEntry entry;
    if (owner.size() == 1) entry.ownerNumber = kSysUser;
    else if (owner.size() == 2) entry.ownerNumber = owner[1] - 1;
    else entry.ownerNumber = kUnknownConstraintOwner;
    if (!keepsOwner(recovery_, entry.ownerNumber)) return;
    entry.name = row.text(kConNameColumn);
    entry.conNumber = numberBytes<5>(row.value(kConNumberColumn));
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
    const auto key = row.value(0);
    if (!row.columnsRead || key.empty() || key.size() > kMaxTableKeyLength) return;
    TableClusterKey entry;
    entry.keyBytes = numberBytes<4>(key);
    entry.blockNumber = row.block32();
    entry.slot = static_cast<std::uint16_t>(ordinal + 1);
    const std::size_t position = recovery_.catalog.tableClusterKeys.size();
    // Beyond the table's 19 keys a key is not held, and its rows find no table.
    if (recovery_.catalog.appendTableClusterKey(entry)) tableKeys_.keep(ordinal, position);
}

const ObjectEntry* DictionaryRowDecoder::tableOfTableKey(const Row& row) const {
    const auto position = tableKeys_.find(row.keyIndex);
    if (!position) return nullptr;
    return recovery_.catalog.findObject(recovery_.catalog.tableClusterKeys[*position].keyBytes);
}

void DictionaryRowDecoder::addColumnRow(const Row& row) {
    if (!row.columnsRead) return;
    const auto number = row.value(kColNumberColumn);
    // Column numbers 1 to 99: C1 and one digit byte (the number plus one).
    if (number.size() != 2 || number[0] != kOneDigitExponent) return;
    if (number[1] < kSmallestColumnDigit || number[1] > kLargestColumnDigit) return;
    const ObjectEntry* table = tableOfTableKey(row);
    if (!table || !keepsOwner(recovery_, table->owner())) return;

    ColumnEntry entry;
    entry.objNumber = table->objNumber;
    entry.columnNumber = number[1];
    entry.name = row.text(kColNameColumn);
    entry.typeCode = typeCodeOf(row.value(kColTypeColumn));
    if (entry.typeCode == kNumberTypeCode) {
        const Precision precision = precisionOf(row.isNull(kColPrecisionColumn), row.value(kColPrecisionColumn));
        const Scale scale = scaleOf(row.isNull(kColScaleColumn), row.value(kColScaleColumn));
        entry.typeCode = numberTypeCode(precision, scale);
        entry.length = precision.value;
        entry.scale = scale.value;
    } else if (entry.typeCode == kTimestampTypeCode || entry.typeCode == kTimestampLocalTypeCode) {
        // The fractional-second precision is held in the scale column.
        entry.length = static_cast<std::int16_t>(scaleOf(row.isNull(kColScaleColumn), row.value(kColScaleColumn)).stored);
    } else {
        entry.length = declaredLengthOf(row.value(kColLengthColumn));
    }
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
        recovery_.release.isVersion9 ? kConstraintColumnRowColumns9 : kConstraintColumnRowColumns;
    if (row.columnCount == columnRowCount) addConstraintColumnRow(row);
    else if (row.columnCount == kConstraintDefRowColumns || row.columnCount == kConstraintDefRowColumnsShort)
        addConstraintDefRow(row);
}

void DictionaryRowDecoder::addConstraintKey(const Row& row) {
    const int ordinal = constraintKeys_.addKey();
    if (!row.columnsRead) return;
    ConstraintClusterKey entry;
    entry.keyBytes = numberBytes<4>(row.value(0));
    entry.slot = static_cast<std::uint8_t>(ordinal);
    entry.blockNumber = row.block32();
    constraintKeys_.keep(ordinal, recovery_.catalog.constraintClusterKeys.size());
    recovery_.catalog.appendConstraintClusterKey(entry);
}

const ObjectEntry* DictionaryRowDecoder::tableOfConstraintKey(const Row& row) const {
    const auto position = constraintKeys_.find(row.keyIndex);
    if (!position) return nullptr;
    return recovery_.catalog.findObject(recovery_.catalog.constraintClusterKeys[*position].keyBytes);
}

void DictionaryRowDecoder::addConstraintColumnRow(const Row& row) {
    if (!row.columnsRead) return;
    ConstraintColumnEntry entry;
    entry.conNumber = numberBytes<5>(row.value(kCconNumberColumn));
    const auto column = row.value(kCcolColumnNumberColumn);
    entry.columnNumber = column.size() == 2 ? column[1] - 1 : 0;
    entry.clusterSlot = row.keyIndex;
    recovery_.catalog.appendConstraintColumn(entry);
}

void DictionaryRowDecoder::addConstraintDefRow(const Row& row) {
    if (!row.columnsRead) return;
    const ObjectEntry* table = tableOfConstraintKey(row);
    if (!table || !keepsOwner(recovery_, table->owner())) return;
    ConstraintDefEntry entry;
    entry.conNumber = numberBytes<5>(row.value(kCdefNumberColumn));
    entry.objNumber = table->objNumber;
    const auto type = row.value(kCdefTypeColumn);
    entry.conType = static_cast<std::uint8_t>(type.size() >= 2 ? type[1] - 1 : 0);
    entry.refConNumber = numberBytes<5>(row.value(kCdefRefNumberColumn));
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
// stopped or when the block's header or row directory points outside it.
bool decodeBlockRows(DictionaryRowDecoder& decoder, JobControl& control, const BlockView& block,
                     std::int32_t segment, std::int64_t blockNumber) {
    RowPieces pieces(block);
    for (const RowPiece& piece : pieces) {
        if (!control.proceed()) return false;
        if (!decoder.decodeRow(block, piece.offset, segment, blockNumber)) return false;
    }
    return !pieces.broken();
}

bool runPass(Recovery& recovery, ProgressSink& progress, std::span<const PassSegment> segments) {
    if (!recovery.analysisControl.proceed()) return false;
    DictionaryRowDecoder decoder(recovery);
    const std::int64_t fileLength = recovery.datafile.length();
    const PassSegment* shownSegment = nullptr;
    const SegmentBlocks blocks(recovery.blockIndex, dataObjectsOf(segments));
    return forEachSegmentBlock(recovery.datafile, blocks, [&](const BlockEntry& entry, const BlockView& block) {
        if (!recovery.analysisControl.proceed()) return false;
        const PassSegment* segment = segmentOf(segments, entry.dataObjectId);
        if (segment != shownSegment && segment->phaseText) progress.setPhase(segment->phaseText);
        shownSegment = segment;
        if (segment->movesProgress) progress.setProgress(progressAt(entry.blockNumber, fileLength));
        return decodeBlockRows(decoder, recovery.analysisControl, block, entry.dataObjectId, entry.blockNumber);
    });
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

// Leading non-zero bytes of an object number: the bytes the format stores.
std::size_t storedLength(const NumberBytes4& number) {
    std::size_t length = 0;
    while (length < number.size() && number[length] != 0) ++length;
    return length;
}

// Whether a SOURCE$ row of the wanted object may start at `position`.
bool looksLikeSourceRow(const BlockView& block, long position, const NumberBytes4& wanted, std::size_t wantedLength) {
    if (block.u8(position) != kSourceRowFlag) return false;
    if (block.u8(position + kColumnCountOffset) != kSourceRowColumns) return false;
    const auto stored = block.bytes(position + kSourceObjectOffset, static_cast<long>(wantedLength));
    return stored.size() == wantedLength && std::equal(stored.begin(), stored.end(), wanted.begin());
}

// Decodes the SOURCE$ row at `position`; false when its columns leave the block.
bool decodeSourceRow(const BlockView& block, long position, const NumberBytes4& wanted, Catalog& catalog,
                     std::vector<ColumnValue>& columns) {
    if (!readColumns(block, static_cast<int>(position) + kFirstColumnOffset, kSourceRowColumns, columns)) return false;
    const auto valueOf = [&](std::size_t column) {
        return columns[column].isNull ? std::span<const std::uint8_t>{} : columns[column].bytes;
    };
    if (numberBytes<4>(valueOf(kSourceObjColumn)) != wanted) return true;
    SourceLineEntry line;
    line.objNumber = wanted;
    line.lineNumber = decodeSmallNumber(valueOf(kSourceLineColumn));
    if (line.lineNumber < 0) return true;
    line.text = lineFeedsAsSpaces(fromCodePage(valueOf(kSourceTextColumn)));
    catalog.appendSourceLine(line);
    return true;
}

int percentOf(std::int64_t part, std::size_t whole) {
    if (whole == 0) return 100;
    return static_cast<int>(std::min<std::int64_t>(part * 100 / static_cast<std::int64_t>(whole), 100));
}

}  // namespace

bool readStoredSource(Recovery& recovery, std::int32_t objectNumber, ProgressSink* savingProgress) {
    const ObjectEntry* object = recovery.catalog.findObjectByNumber(objectNumber);
    const std::int32_t segment = sourceSegment(recovery.release);
    std::int64_t rowsDecoded = 0;
    if (object && segment != 0) {
        const NumberBytes4 wanted = object->objNumber;
        const std::size_t wantedLength = storedLength(wanted);
        const auto& entries = recovery.blockIndex.entries();
        std::vector<ColumnValue> columns;
        Block block{};
        for (const std::uint32_t position : recovery.blockIndex.blocksOf(segment)) {
            if (!recovery.analysisControl.proceed()) return false;
            readBlock(recovery.datafile, entries[position].blockNumber, block);
            const BlockView view(block);
            // Rows are found by their bytes, not through the row directory.
            for (long p = 0; p < kBlockSize; ++p) {
                if (!looksLikeSourceRow(view, p, wanted, wantedLength)) continue;
                if (!recovery.analysisControl.proceed()) return false;
                if (!decodeSourceRow(view, p, wanted, recovery.catalog, columns)) continue;
                ++rowsDecoded;
                if (savingProgress)
                    savingProgress->setCurrentProgress(percentOf(rowsDecoded, recovery.blockIndex.size()));
            }
        }
    }
    if (savingProgress) savingProgress->setCurrentProgress(100);
    return true;
}

}  // namespace restorix
