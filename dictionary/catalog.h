#pragma once
// The recovered data dictionary: ten lists in the order the analysis met the
// rows (block order, then row directory order). Numbers are kept as their
// stored Oracle NUMBER bytes, zero-padded to a fixed width.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace restorix {

using NumberBytes2 = std::array<std::uint8_t, 2>;
using NumberBytes4 = std::array<std::uint8_t, 4>;
using NumberBytes5 = std::array<std::uint8_t, 5>;

// Copies up to N leading bytes, zero-padding the rest.
template <std::size_t N>
std::array<std::uint8_t, N> numberBytes(std::span<const std::uint8_t> bytes) {
    std::array<std::uint8_t, N> out{};
    for (std::size_t i = 0; i < N && i < bytes.size(); ++i) out[i] = bytes[i];
    return out;
}

// C1 d -> d-1; C2 d1 d2 -> (d1-1)*100 + (d2-1); C3 ... three digits.
// An absent or zero digit byte counts as digit 0. The single byte 80 (zero)
// gives 0; any other exponent (one million and above, negatives) or no byte
// at all gives -1: the value is outside the supported range.
int decodeSmallNumber(std::span<const std::uint8_t> bytes);

// Whether two texts are equal when ASCII letters are compared without case.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Oracle object type numbers as the catalog keeps them (stored byte minus one).
enum ObjectType : int { kTable = 2, kView = 4, kProcedure = 7, kFunction = 8, kTrigger = 12 };

struct SchemaEntry {
    NumberBytes2 userNumber{};
    std::uint8_t clusterSlot = 0;
    std::string name;
    std::int32_t blockNumber = 0;

    int user() const { return userNumber[1] - 1; }
};

struct ObjectEntry {
    NumberBytes4 objNumber{};
    NumberBytes4 ownerNumber{};
    NumberBytes2 objType{};
    std::string name;
    std::int32_t objectNumber = 0;
    std::int32_t blockNumber = 0;
    // DATAOBJ#: the data object number of the object's segment; the object
    // number when the dictionary holds none. Tables find their blocks by it.
    std::int32_t dataObjectNumber = 0;

    int owner() const { return ownerNumber[1] - 1; }
    int type() const { return objType[1] - 1; }
};

struct ColumnEntry {
    NumberBytes4 objNumber{};
    std::uint8_t columnNumber = 0;  // column number + 1
    std::string name;
    std::uint8_t typeCode = 0;      // Oracle type + 1; 240/241/242 for NUMBER forms
    std::int16_t length = 0;
    std::optional<int> scale;       // NUMBER scale, when the dictionary holds one

    int number() const { return columnNumber - 1; }
};

struct ConstraintNameEntry {
    std::int32_t ownerNumber = 0;
    std::string name;
    NumberBytes5 conNumber{};
};

struct ConstraintDefEntry {
    NumberBytes5 conNumber{};
    NumberBytes4 objNumber{};
    std::uint8_t conType = 0;
    NumberBytes5 refConNumber{};
    std::string condition;
    std::uint8_t clusterSlot = 0;
    std::int32_t blockNumber = 0;
};

struct ConstraintColumnEntry {
    NumberBytes5 conNumber{};
    std::int32_t columnNumber = 0;
    std::int32_t clusterSlot = 0;
};

struct SourceLineEntry {
    NumberBytes4 objNumber{};
    std::int32_t lineNumber = 0;
    std::string text;
};

struct UserClusterKey {
    NumberBytes2 keyBytes{};
    std::uint8_t slot = 0;  // 1-based within its block
    std::int32_t blockNumber = 0;
};

struct ConstraintClusterKey {
    NumberBytes4 keyBytes{};
    std::uint8_t slot = 0;  // 0-based within its block
    std::int32_t blockNumber = 0;
};

struct TableClusterKey {
    NumberBytes4 keyBytes{};
    std::int32_t blockNumber = 0;
    std::uint16_t slot = 0;  // 1-based
};

constexpr std::size_t kMaxTableClusterKeys = 19;

class Catalog {
public:
    std::vector<SchemaEntry> schemaList;
    std::vector<ObjectEntry> objectList;
    std::vector<ColumnEntry> columnList;
    std::vector<ConstraintNameEntry> constraintNames;
    std::vector<ConstraintDefEntry> constraintDefs;
    std::vector<ConstraintColumnEntry> constraintColumns;
    std::vector<SourceLineEntry> sourceLines;
    std::vector<UserClusterKey> userClusterKeys;
    std::vector<ConstraintClusterKey> constraintClusterKeys;
    std::vector<TableClusterKey> tableClusterKeys;  // current C_OBJ# block only

    // Appends return true when a record was added, false when the list's
    // uniqueness rule refused it. All O(1).
    bool appendSchema(const SchemaEntry& entry);              // unique by name
    bool appendObject(const ObjectEntry& entry);              // unique by objNumber
    bool appendColumn(const ColumnEntry& entry);
    bool appendConstraintName(const ConstraintNameEntry& entry);
    bool appendConstraintDef(const ConstraintDefEntry& entry);
    bool appendConstraintColumn(const ConstraintColumnEntry& entry);
    bool appendSourceLine(const SourceLineEntry& entry);      // unique by lineNumber
    bool appendUserClusterKey(const UserClusterKey& entry);
    bool appendConstraintClusterKey(const ConstraintClusterKey& entry);
    // False (and nothing changes) when the table already holds 19 keys.
    bool appendTableClusterKey(const TableClusterKey& entry);
    void clearTableClusterKeys() { tableClusterKeys.clear(); }
    void clearSourceLines();

    // Lookups; the first record in list order wins.
    const SchemaEntry* findSchemaByName(std::string_view name) const;  // ignoring case
    const SchemaEntry* findSchemaByUser(int userNumber) const;
    const ObjectEntry* findObject(const NumberBytes4& objNumber) const;
    const ObjectEntry* findObjectByNumber(std::int32_t objectNumber) const;
    // Columns of one table in columnList order.
    std::vector<const ColumnEntry*> columnsOf(const NumberBytes4& objNumber) const;
    const ConstraintNameEntry* findConstraintName(const NumberBytes5& conNumber) const;
    const ConstraintDefEntry* findConstraintDef(const NumberBytes5& conNumber) const;
    std::vector<const ConstraintColumnEntry*> constraintColumnsOf(const NumberBytes5& conNumber) const;
    std::vector<const ConstraintDefEntry*> constraintDefsOf(const NumberBytes4& objNumber) const;

    // Frees every list.
    void releaseCatalog();
    // What the end of saving frees: the main lists, not the cluster keys or source lines.
    void releaseMainLists();

private:
    std::unordered_set<std::string> schemaNames_;
    std::unordered_map<std::uint32_t, std::size_t> objectsByNumber_;
    std::unordered_map<std::int32_t, std::size_t> objectsByDecodedNumber_;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> columnsByObject_;
    std::unordered_map<std::uint32_t, std::vector<std::size_t>> defsByObject_;
    std::unordered_set<std::int32_t> sourceLineNumbers_;
    std::unordered_map<std::uint64_t, std::size_t> constraintNamesByNumber_;
    std::unordered_map<std::uint64_t, std::size_t> defsByNumber_;
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> constraintColumnsByNumber_;
};

// Packs 4 NUMBER bytes into one key for hashing.
inline std::uint32_t packKey(const NumberBytes4& b) {
    return static_cast<std::uint32_t>(b[0]) << 24 | static_cast<std::uint32_t>(b[1]) << 16 |
           static_cast<std::uint32_t>(b[2]) << 8 | b[3];
}

// Packs 5 NUMBER bytes into one key for hashing.
inline std::uint64_t packKey(const NumberBytes5& b) {
    std::uint64_t key = 0;
    for (const std::uint8_t byte : b) key = key << 8 | byte;
    return key;
}

}  // namespace restorix
