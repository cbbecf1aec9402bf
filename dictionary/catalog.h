#pragma once
// The recovered data dictionary: ten lists in the order the analysis met the
// rows (block order, then row directory order). Numbers are kept by value,
// decoded from their stored NUMBER bytes whatever their length, and keys are
// compared by value.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <variant>
#include <vector>

#include "dictionary/oracle_number.h"

namespace restorix {

// Whether two texts are equal when ASCII letters are compared without case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Oracle object type numbers as the catalog keeps them (stored byte minus one).
enum ObjectType : int { kTable = 2, kView = 4, kProcedure = 7, kFunction = 8, kTrigger = 12 };

struct SchemaEntry {
    DictionaryNumber userNumber = 0;
    std::uint8_t clusterSlot = 0;
    std::string name;
    std::int32_t blockNumber = 0;
};

struct ObjectEntry {
    DictionaryNumber objNumber = kNoNumber;
    DictionaryNumber ownerNumber = kNoNumber;
    int objType = 0;  // the Oracle object type number
    std::string name;
    std::int32_t objectNumber = 0;  // objNumber as the row readers take it
    std::int32_t blockNumber = 0;
    // DATAOBJ#: the data object number of the object's segment; the object
    // number when the dictionary holds none. Tables find their blocks by it.
    std::int32_t dataObjectNumber = 0;

    DictionaryNumber owner() const { return ownerNumber; }
    int type() const { return objType; }
};

// Which schema owns an object, the one rule for the tree, the previews and
// the save: the object's owner number equals the schema's user number.
inline bool ownedBy(const ObjectEntry& object, const SchemaEntry& schema) {
    return object.ownerNumber == schema.userNumber;
}

// The tables a schema's folders hold scripts for.
inline bool isStoredCode(const ObjectEntry& object) {
    return object.type() == kProcedure || object.type() == kFunction;
}

inline bool isTableOf(const ObjectEntry& object, const SchemaEntry& schema) {
    return object.type() == kTable && ownedBy(object, schema);
}

// Column types as COL$ TYPE# numbers them, and as the catalog keeps them.
// CHARSETFORM tells NVARCHAR2, NCHAR and NCLOB from VARCHAR2, CHAR and CLOB;
// PRECISION# and SCALE tell FLOAT from NUMBER.
namespace oracle_type {
constexpr int kNone = 0;  // TYPE# NULL, zero, no whole number, or beyond any type
constexpr int kVarchar2 = 1;  // VARCHAR2, NVARCHAR2
constexpr int kNumber = 2;    // NUMBER, FLOAT
constexpr int kLong = 8;
constexpr int kDate = 12;
constexpr int kRaw = 23;
constexpr int kLongRaw = 24;
constexpr int kRowid = 69;
constexpr int kChar = 96;  // CHAR, NCHAR
constexpr int kBinaryFloat = 100;
constexpr int kBinaryDouble = 101;
constexpr int kClob = 112;  // CLOB, NCLOB
constexpr int kBlob = 113;
constexpr int kTimestamp = 180;
constexpr int kTimestampZone = 181;  // WITH TIME ZONE
constexpr int kIntervalYearMonth = 182;
constexpr int kIntervalDaySecond = 183;
constexpr int kTimestampLocal = 231;  // WITH LOCAL TIME ZONE
}  // namespace oracle_type

// COL$ CHARSETFORM: the database character set, or the national one.
constexpr std::uint8_t kImplicitCharsetForm = 1;
constexpr std::uint8_t kNationalCharsetForm = 2;

// The national character set NCHAR and NVARCHAR2 values are stored in.
enum class NationalCharset : std::uint8_t { Al16Utf16, Utf8 };

// The most bytes one character takes in the national character set: what a
// declared length in characters is multiplied by in COL$ LENGTH.
constexpr int bytesPerNationalCharacter(NationalCharset charset) {
    return charset == NationalCharset::Utf8 ? 3 : 2;
}

// Why a COL$ row cannot describe a column: it holds a value no Oracle column
// can have. A table with such a row is not rebuilt (its Create Table would
// miss or misdeclare a column, its rows would not fit it).
enum class ColumnDamage : std::uint8_t {
    None,
    Number,     // COL# negative, NULL or beyond 16 bits
    Type,       // TYPE# of no Oracle column type
    Length,     // LENGTH negative or longer than any column
    Precision,  // a NUMBER precision above 38, FLOAT above 126, a fractional-second one above 9
    Scale,      // a NUMBER scale outside -84..127, a fractional-second one above 9
};

// "type 250 is no Oracle column type" and the like, for the log and the report.
std::string_view columnDamageText(ColumnDamage damage);

struct ColumnEntry {
    DictionaryNumber objNumber = kNoNumber;
    int columnNumber = 0;
    std::string name;
    int oracleType = oracle_type::kNone;  // TYPE#
    std::int16_t length = 0;
    std::optional<int> precision;   // PRECISION#, when the dictionary holds one
    std::optional<int> scale;       // NUMBER scale, interval fractional seconds, when the dictionary holds one
    // SEGCOL#: the column's place in the stored row (from 1), 0 when it is
    // not stored there. LONG columns are stored last whatever their number.
    int segmentColumn = 0;
    std::uint8_t charsetForm = kImplicitCharsetForm;  // CHARSETFORM
    ColumnDamage damage = ColumnDamage::None;

    int number() const { return columnNumber; }
    bool readable() const { return damage == ColumnDamage::None; }
};

// FLOAT(p) is a NUMBER column with a precision (in binary digits) and no
// scale: what the damage checks and the value forms both tell apart.
inline bool declaresFloat(const ColumnEntry& column) {
    return column.oracleType == oracle_type::kNumber && column.precision && !column.scale;
}

struct ConstraintNameEntry {
    DictionaryNumber ownerNumber = kNoNumber;
    std::string name;
    DictionaryNumber conNumber = kNoNumber;
};

struct ConstraintDefEntry {
    DictionaryNumber conNumber = kNoNumber;
    DictionaryNumber objNumber = kNoNumber;
    std::uint8_t conType = 0;
    DictionaryNumber refConNumber = kNoNumber;
    std::string condition;
    std::uint8_t clusterSlot = 0;
    std::int32_t blockNumber = 0;
};

struct ConstraintColumnEntry {
    DictionaryNumber conNumber = kNoNumber;
    std::int32_t columnNumber = 0;
    std::int32_t clusterSlot = 0;
};

struct SourceLineEntry {
    DictionaryNumber objNumber = kNoNumber;
    std::int32_t lineNumber = 0;
    std::string text;
};

// The stored source lines of one object in the order read; a line number is
// kept once (the first row with it wins).
class SourceLines {
public:
    bool append(const SourceLineEntry& entry);
    const std::vector<SourceLineEntry>& lines() const { return lines_; }
    bool empty() const { return lines_.empty(); }

private:
    std::vector<SourceLineEntry> lines_;
    std::unordered_set<std::int32_t> lineNumbers_;
};

// The stored source lines of procedures and functions, by object number.
class StoredSource {
public:
    // The object's lines in the order read; none when it has none.
    const SourceLines& of(DictionaryNumber objNumber) const;
    SourceLines& linesOf(DictionaryNumber objNumber) { return byObject_[objNumber]; }
    void clear() { byObject_ = {}; }

private:
    std::unordered_map<DictionaryNumber, SourceLines> byObject_;
};

// One VIEW$ row as the views step uses it.
struct ViewRow {
    DictionaryNumber objNumber = kNoNumber;
    int columnCount = 0;  // COLS
    std::string text;     // UTF-8; empty when NULL
};

// One TRIGGER$ row as the triggers step uses it.
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

// A VIEW$ or TRIGGER$ row, kept in the order the blocks hold them.
using CodeRow = std::variant<ViewRow, TriggerRow>;

struct UserClusterKey {
    DictionaryNumber userNumber = kNoNumber;
    std::uint8_t slot = 0;  // 1-based within its block
    std::int32_t blockNumber = 0;
};

struct ConstraintClusterKey {
    DictionaryNumber objNumber = kNoNumber;
    std::uint8_t slot = 0;  // 0-based within its block
    std::int32_t blockNumber = 0;
};

struct TableClusterKey {
    DictionaryNumber objNumber = kNoNumber;
    std::int32_t blockNumber = 0;
    std::uint16_t slot = 0;  // 1-based
};

constexpr std::size_t kMaxTableClusterKeys = 19;

class Catalog {
public:
    std::vector<SchemaEntry> schemaList;
    std::vector<ObjectEntry> objectList;
    std::vector<ColumnEntry> columnList;
    // COL$ rows that declare no column of their table: hidden and SET UNUSED
    // columns (COL# 0) that keep a place in the stored row, and rows whose
    // COL# cannot be (ColumnDamage::Number).
    std::vector<ColumnEntry> hiddenColumnList;
    std::vector<ConstraintNameEntry> constraintNames;
    std::vector<ConstraintDefEntry> constraintDefs;
    std::vector<ConstraintColumnEntry> constraintColumns;
    std::vector<UserClusterKey> userClusterKeys;
    std::vector<ConstraintClusterKey> constraintClusterKeys;
    std::vector<TableClusterKey> tableClusterKeys;  // current C_OBJ# block only
    // The whole rows of VIEW$ and TRIGGER$, in block order.
    std::vector<CodeRow> codeRows;
    // The SOURCE$ lines of every procedure and function of the schemas kept.
    StoredSource storedSource;

    // How far the lists can be trusted. Kept with them, not beside them,
    // because every reader of the lists (the tree, the save's report, the
    // catalog command) must be told, and only the analysis sets them.
    // Dictionary blocks the passes could not read (a read error, or a row
    // directory that runs past the block); the rest of their segment was read.
    long dictionaryBlocksNotRead = 0;
    // Set when the analysis window was closed with Yes: the lists are partial.
    bool partial = false;

    // Appends return true when a record was added, false when the list's
    // uniqueness rule refused it. All O(1).
    bool appendSchema(const SchemaEntry& entry);              // unique by name
    bool appendObject(const ObjectEntry& entry);              // unique by objNumber
    bool appendColumn(const ColumnEntry& entry);
    bool appendHiddenColumn(const ColumnEntry& entry);
    bool appendConstraintName(const ConstraintNameEntry& entry);
    bool appendConstraintDef(const ConstraintDefEntry& entry);
    bool appendConstraintColumn(const ConstraintColumnEntry& entry);
    bool appendUserClusterKey(const UserClusterKey& entry);
    bool appendConstraintClusterKey(const ConstraintClusterKey& entry);
    // False (and nothing changes) when the table already holds 19 keys.
    bool appendTableClusterKey(const TableClusterKey& entry);
    void clearTableClusterKeys() { tableClusterKeys.clear(); }

    // Lookups; the first record in list order wins.
    const SchemaEntry* findSchemaByName(std::string_view name) const;  // ignoring case
    const SchemaEntry* findSchemaByUser(DictionaryNumber userNumber) const;
    const ObjectEntry* findObject(DictionaryNumber objNumber) const;
    // The same by the row readers' 32-bit object number.
    const ObjectEntry* findObjectByNumber(std::int32_t objectNumber) const { return findObject(objectNumber); }
    // The schema that owns an object (see ownedBy); nullptr when the owner
    // has no schema entry.
    const SchemaEntry* ownerOf(const ObjectEntry& object) const;
    // Columns of one table in columnList order.
    std::vector<const ColumnEntry*> columnsOf(DictionaryNumber objNumber) const;
    // Hidden columns of one table (hiddenColumnList) in list order.
    std::vector<const ColumnEntry*> hiddenColumnsOf(DictionaryNumber objNumber) const;
    // The COL$ rows of one table that cannot be read, visible and hidden.
    std::vector<const ColumnEntry*> unreadableColumnsOf(DictionaryNumber objNumber) const;
    const ConstraintNameEntry* findConstraintName(DictionaryNumber conNumber) const;
    const ConstraintDefEntry* findConstraintDef(DictionaryNumber conNumber) const;
    std::vector<const ConstraintColumnEntry*> constraintColumnsOf(DictionaryNumber conNumber) const;
    std::vector<const ConstraintDefEntry*> constraintDefsOf(DictionaryNumber objNumber) const;

    // Frees every list.
    void releaseCatalog();
    // What the end of saving frees: the main lists, not the cluster keys.
    void releaseMainLists();

private:
    std::unordered_set<std::string> schemaNames_;
    std::unordered_map<DictionaryNumber, std::size_t> schemasByUser_;
    std::unordered_map<DictionaryNumber, std::size_t> objectsByNumber_;
    std::unordered_map<DictionaryNumber, std::vector<std::size_t>> columnsByObject_;
    std::unordered_map<DictionaryNumber, std::vector<std::size_t>> hiddenColumnsByObject_;
    std::unordered_map<DictionaryNumber, std::vector<std::size_t>> defsByObject_;
    std::unordered_map<DictionaryNumber, std::size_t> constraintNamesByNumber_;
    std::unordered_map<DictionaryNumber, std::size_t> defsByNumber_;
    std::unordered_map<DictionaryNumber, std::vector<std::size_t>> constraintColumnsByNumber_;
};

}  // namespace restorix
