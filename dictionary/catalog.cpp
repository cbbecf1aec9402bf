#include "dictionary/catalog.h"

namespace restorix {

namespace {

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

std::string_view columnDamageText(ColumnDamage damage) {
    switch (damage) {
        case ColumnDamage::None: return "readable";
        case ColumnDamage::Number: return "its column number cannot be";
        case ColumnDamage::Type: return "its type is no Oracle column type";
        case ColumnDamage::Length: return "its length cannot be";
        case ColumnDamage::Precision: return "its precision cannot be";
        case ColumnDamage::Scale: return "its scale cannot be";
    }
    return "unreadable";
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
    schemasByUser_.emplace(entry.userNumber, schemaList.size());
    schemaList.push_back(entry);
    return true;
}

bool Catalog::appendObject(const ObjectEntry& entry) {
    if (!objectsByNumber_.emplace(entry.objNumber, objectList.size()).second) return false;
    objectList.push_back(entry);
    return true;
}

bool Catalog::appendColumn(const ColumnEntry& entry) {
    indexPosition(columnsByObject_, entry.objNumber, columnList.size());
    columnList.push_back(entry);
    return true;
}

bool Catalog::appendHiddenColumn(const ColumnEntry& entry) {
    indexPosition(hiddenColumnsByObject_, entry.objNumber, hiddenColumnList.size());
    hiddenColumnList.push_back(entry);
    return true;
}

bool Catalog::appendConstraintName(const ConstraintNameEntry& entry) {
    constraintNamesByNumber_.emplace(entry.conNumber, constraintNames.size());
    constraintNames.push_back(entry);
    return true;
}

bool Catalog::appendConstraintDef(const ConstraintDefEntry& entry) {
    indexPosition(defsByObject_, entry.objNumber, constraintDefs.size());
    defsByNumber_.emplace(entry.conNumber, constraintDefs.size());
    constraintDefs.push_back(entry);
    return true;
}

bool Catalog::appendConstraintColumn(const ConstraintColumnEntry& entry) {
    indexPosition(constraintColumnsByNumber_, entry.conNumber, constraintColumns.size());
    constraintColumns.push_back(entry);
    return true;
}

bool SourceLines::append(const SourceLineEntry& entry) {
    if (!lineNumbers_.insert(entry.lineNumber).second) return false;
    lines_.push_back(entry);
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

const SchemaEntry* Catalog::findSchemaByName(std::string_view name) const {
    for (const SchemaEntry& schema : schemaList) {
        if (equalsIgnoringAsciiCase(schema.name, name)) return &schema;
    }
    return nullptr;
}

const SchemaEntry* Catalog::findSchemaByUser(DictionaryNumber userNumber) const {
    return entryAt(schemaList, schemasByUser_, userNumber);
}

const SchemaEntry* Catalog::ownerOf(const ObjectEntry& object) const { return findSchemaByUser(object.owner()); }

const ObjectEntry* Catalog::findObject(DictionaryNumber objNumber) const {
    return entryAt(objectList, objectsByNumber_, objNumber);
}

std::vector<const ColumnEntry*> Catalog::columnsOf(DictionaryNumber objNumber) const {
    return entriesAt(columnList, columnsByObject_, objNumber);
}

std::vector<const ColumnEntry*> Catalog::hiddenColumnsOf(DictionaryNumber objNumber) const {
    return entriesAt(hiddenColumnList, hiddenColumnsByObject_, objNumber);
}

std::vector<const ColumnEntry*> Catalog::unreadableColumnsOf(DictionaryNumber objNumber) const {
    std::vector<const ColumnEntry*> unreadable;
    for (const auto& columns : {columnsOf(objNumber), hiddenColumnsOf(objNumber)})
        for (const ColumnEntry* column : columns)
            if (!column->readable()) unreadable.push_back(column);
    return unreadable;
}

const ConstraintNameEntry* Catalog::findConstraintName(DictionaryNumber conNumber) const {
    return entryAt(constraintNames, constraintNamesByNumber_, conNumber);
}

const ConstraintDefEntry* Catalog::findConstraintDef(DictionaryNumber conNumber) const {
    return entryAt(constraintDefs, defsByNumber_, conNumber);
}

std::vector<const ConstraintColumnEntry*> Catalog::constraintColumnsOf(DictionaryNumber conNumber) const {
    return entriesAt(constraintColumns, constraintColumnsByNumber_, conNumber);
}

std::vector<const ConstraintDefEntry*> Catalog::constraintDefsOf(DictionaryNumber objNumber) const {
    return entriesAt(constraintDefs, defsByObject_, objNumber);
}

void Catalog::releaseMainLists() {
    freeStorage(schemaList);
    freeStorage(objectList);
    freeStorage(columnList);
    freeStorage(hiddenColumnList);
    freeStorage(constraintNames);
    freeStorage(constraintColumns);
    freeStorage(constraintDefs);
    freeStorage(codeRows);
    storedSource.clear();
    freeStorage(schemaNames_);
    freeStorage(schemasByUser_);
    freeStorage(objectsByNumber_);
    freeStorage(columnsByObject_);
    freeStorage(hiddenColumnsByObject_);
    freeStorage(defsByObject_);
    freeStorage(constraintNamesByNumber_);
    freeStorage(defsByNumber_);
    freeStorage(constraintColumnsByNumber_);
}

void Catalog::releaseCatalog() {
    releaseMainLists();
    freeStorage(userClusterKeys);
    freeStorage(constraintClusterKeys);
    freeStorage(tableClusterKeys);
}

const SourceLines& StoredSource::of(DictionaryNumber objNumber) const {
    static const SourceLines kNone;
    const auto it = byObject_.find(objNumber);
    return it == byObject_.end() ? kNone : it->second;
}

}  // namespace restorix
