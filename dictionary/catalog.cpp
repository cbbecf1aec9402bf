#include "dictionary/catalog.h"

namespace restorix {

namespace {

constexpr std::uint8_t kZeroNumber = 0x80;      // the number 0 as the format stores it
constexpr std::uint8_t kPositiveExponent = 0xC0;  // C1: one base-100 digit before the point
constexpr int kMaxSmallNumberDigits = 3;          // C3: values below one million

// Empties a container and gives its memory back, as a release must.
template <typename Container>
void freeStorage(Container& container) {
    Container().swap(container);
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Adds `position` under `key`, keeping the per-key positions in list order.
template <typename Key>
void indexPosition(std::unordered_map<Key, std::vector<std::size_t>>& index, Key key, std::size_t position) {
    index[key].push_back(position);
}

template <typename Entry, typename Key>
std::vector<const Entry*> entriesAt(const std::vector<Entry>& list,
                                    const std::unordered_map<Key, std::vector<std::size_t>>& index, Key key) {
    std::vector<const Entry*> found;
    const auto it = index.find(key);
    if (it == index.end()) return found;
    found.reserve(it->second.size());
    for (const std::size_t position : it->second) found.push_back(&list[position]);
    return found;
}

template <typename Entry, typename Key>
const Entry* entryAt(const std::vector<Entry>& list, const std::unordered_map<Key, std::size_t>& index,
                     Key key) {
    const auto it = index.find(key);
    return it == index.end() ? nullptr : &list[it->second];
}

}  // namespace

int decodeSmallNumber(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return -1;
    if (bytes[0] == kZeroNumber) return 0;
    const int digitCount = bytes[0] - kPositiveExponent;
    if (digitCount < 1 || digitCount > kMaxSmallNumberDigits) return -1;
    int value = 0;
    for (int i = 1; i <= digitCount; ++i) {
        const int digit = i < static_cast<int>(bytes.size()) ? bytes[static_cast<std::size_t>(i)] : 0;
        value = value * 100 + (digit == 0 ? 0 : digit - 1);
    }
    return value;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

bool Catalog::appendSchema(const SchemaEntry& entry) {
    if (!schemaNames_.insert(entry.name).second) return false;
    schemaList.push_back(entry);
    return true;
}

bool Catalog::appendObject(const ObjectEntry& entry) {
    if (!objectsByNumber_.emplace(packKey(entry.objNumber), objectList.size()).second) return false;
    // Distinct stored bytes may decode alike; the first such object answers.
    objectsByDecodedNumber_.emplace(entry.objectNumber, objectList.size());
    objectList.push_back(entry);
    return true;
}

bool Catalog::appendColumn(const ColumnEntry& entry) {
    indexPosition(columnsByObject_, packKey(entry.objNumber), columnList.size());
    columnList.push_back(entry);
    return true;
}

bool Catalog::appendConstraintName(const ConstraintNameEntry& entry) {
    constraintNamesByNumber_.emplace(packKey(entry.conNumber), constraintNames.size());
    constraintNames.push_back(entry);
    return true;
}

bool Catalog::appendConstraintDef(const ConstraintDefEntry& entry) {
    indexPosition(defsByObject_, packKey(entry.objNumber), constraintDefs.size());
    defsByNumber_.emplace(packKey(entry.conNumber), constraintDefs.size());
    constraintDefs.push_back(entry);
    return true;
}

bool Catalog::appendConstraintColumn(const ConstraintColumnEntry& entry) {
    indexPosition(constraintColumnsByNumber_, packKey(entry.conNumber), constraintColumns.size());
    constraintColumns.push_back(entry);
    return true;
}

bool Catalog::appendSourceLine(const SourceLineEntry& entry) {
    if (!sourceLineNumbers_.insert(entry.lineNumber).second) return false;
    sourceLines.push_back(entry);
    return true;
}

bool Catalog::appendUserClusterKey(const UserClusterKey& entry) {
    userClusterKeys.push_back(entry);
    return true;
}

bool Catalog::appendConstraintClusterKey(const ConstraintClusterKey& entry) {
    constraintClusterKeys.push_back(entry);
    return true;
}

bool Catalog::appendTableClusterKey(const TableClusterKey& entry) {
    if (tableClusterKeys.size() >= kMaxTableClusterKeys) return false;
    tableClusterKeys.push_back(entry);
    return true;
}

void Catalog::clearSourceLines() {
    sourceLines.clear();
    sourceLineNumbers_.clear();
}

const SchemaEntry* Catalog::findSchemaByName(std::string_view name) const {
    for (const SchemaEntry& schema : schemaList) {
        if (equalsIgnoringAsciiCase(schema.name, name)) return &schema;
    }
    return nullptr;
}

const SchemaEntry* Catalog::findSchemaByUser(int userNumber) const {
    for (const SchemaEntry& schema : schemaList) {
        if (schema.user() == userNumber) return &schema;
    }
    return nullptr;
}

const ObjectEntry* Catalog::findObject(const NumberBytes4& objNumber) const {
    return entryAt(objectList, objectsByNumber_, packKey(objNumber));
}

const ObjectEntry* Catalog::findObjectByNumber(std::int32_t objectNumber) const {
    return entryAt(objectList, objectsByDecodedNumber_, objectNumber);
}

std::vector<const ColumnEntry*> Catalog::columnsOf(const NumberBytes4& objNumber) const {
    return entriesAt(columnList, columnsByObject_, packKey(objNumber));
}

const ConstraintNameEntry* Catalog::findConstraintName(const NumberBytes5& conNumber) const {
    return entryAt(constraintNames, constraintNamesByNumber_, packKey(conNumber));
}

const ConstraintDefEntry* Catalog::findConstraintDef(const NumberBytes5& conNumber) const {
    return entryAt(constraintDefs, defsByNumber_, packKey(conNumber));
}

std::vector<const ConstraintColumnEntry*> Catalog::constraintColumnsOf(const NumberBytes5& conNumber) const {
    return entriesAt(constraintColumns, constraintColumnsByNumber_, packKey(conNumber));
}

std::vector<const ConstraintDefEntry*> Catalog::constraintDefsOf(const NumberBytes4& objNumber) const {
    return entriesAt(constraintDefs, defsByObject_, packKey(objNumber));
}

void Catalog::releaseMainLists() {
    freeStorage(schemaList);
    freeStorage(objectList);
    freeStorage(columnList);
    freeStorage(constraintNames);
    freeStorage(constraintColumns);
    freeStorage(constraintDefs);
    freeStorage(schemaNames_);
    freeStorage(objectsByNumber_);
    freeStorage(objectsByDecodedNumber_);
    freeStorage(columnsByObject_);
    freeStorage(defsByObject_);
    freeStorage(constraintNamesByNumber_);
    freeStorage(defsByNumber_);
    freeStorage(constraintColumnsByNumber_);
}

void Catalog::releaseCatalog() {
    releaseMainLists();
    freeStorage(sourceLines);
    freeStorage(sourceLineNumbers_);
    freeStorage(userClusterKeys);
    freeStorage(constraintClusterKeys);
    freeStorage(tableClusterKeys);
}

}  // namespace restorix
