#include "output/script_names.h"

#include <algorithm>
#include <array>
#include <span>
#include <unordered_set>

#include "output/batch_files.h"
#include "output/output_files.h"
#include "output/sql_names.h"

namespace restorix {
namespace {

constexpr std::string_view kCreateFolderSuffix = "_create";
constexpr std::string_view kDataFolderSuffix = "_data";
constexpr std::string_view kCreateScriptSuffix = ".sql";
constexpr std::string_view kDataScriptSuffix = "Data.sql";
constexpr std::string_view kFolderSeparator = "\\";
// Put after a reserved device name, and before the number of a renamed file.
constexpr char kNameMark = '_';

constexpr std::array<std::string_view, 4> kDeviceNames = {"AUX", "CON", "NUL", "PRN"};
// COM1 to COM9 and LPT1 to LPT9.
constexpr std::array<std::string_view, 2> kNumberedDeviceNames = {"COM", "LPT"};
constexpr std::size_t kNumberedDeviceNameSize = 4;

// The suffixes a schema's base name and a table's base name get.
constexpr std::array<std::string_view, 2> kFolderSuffixes = {kCreateFolderSuffix, kDataFolderSuffix};
constexpr std::array<std::string_view, 2> kScriptSuffixes = {kCreateScriptSuffix, kDataScriptSuffix};

// Windows compares file names without regard to case; every name here is
// ASCII (safeFileName), so upper-casing the ASCII letters is that comparison.
std::string windowsKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

std::string joined(std::string_view a, std::string_view b) { return std::string(a) + std::string(b); }

std::string createFolderOf(std::string_view schemaBase) { return joined(schemaBase, kCreateFolderSuffix); }
std::string dataFolderOf(std::string_view schemaBase) { return joined(schemaBase, kDataFolderSuffix); }

std::string createScriptOf(std::string_view schemaBase, std::string_view tableBase) {
    return createFolderOf(schemaBase) + joined(kFolderSeparator, tableBase) + std::string(kCreateScriptSuffix);
}

std::string dataScriptOf(std::string_view schemaBase, std::string_view tableBase) {
    return dataFolderOf(schemaBase) + joined(kFolderSeparator, tableBase) + std::string(kDataScriptSuffix);
}

// The longer of the Commit.bat texts that list a table's two scripts. Names
// are ASCII, so the code page keeps their length.
std::size_t longestReplayText(std::string_view schemaBase, std::string_view tableBase) {
    return std::max(commitBatLines(tableScriptReplay(createScriptOf(schemaBase, tableBase))).size(),
                    commitBatLines(tableScriptReplay(dataScriptOf(schemaBase, tableBase))).size());
}

// What the Commit.bat limit leaves for a schema's and a table's name together.
std::size_t roomForNames() { return kCommitTextLimit - longestReplayText({}, {}); }

// A schema's folder name takes at most half of that room, so every table
// keeps the other half.
std::size_t longestSchemaBase() { return roomForNames() / 2; }

std::size_t longestTableBase(std::string_view schemaBase) {
    return kCommitTextLimit - longestReplayText(schemaBase, {});
}

// The base with "_" after its reserved device name when any of its file
// names would name a device: "CON" gives "CON_.sql", "con.x" "con_.x.sql".
std::string clearOfDeviceNames(std::string base, std::span<const std::string_view> suffixes) {
    const bool reserved = std::any_of(suffixes.begin(), suffixes.end(), [&](std::string_view suffix) {
        return isReservedOnWindows(joined(base, suffix));
    });
    if (reserved) base.insert(std::min(base.find('.'), base.size()), 1, kNameMark);
    return base;
}

// Hands out the names of one folder in catalog order: no two equal without
// regard to case, none longer than the Commit.bat line allows, and a
// numbered name never one that another object of the folder maps to.
class FolderNames {
public:
    FolderNames(const std::vector<std::string>& wanted, std::size_t longest) : longest_(longest) {
        for (const std::string& name : wanted) wanted_.insert(windowsKey(name));
    }

    std::string give(const std::string& wanted) {
        if (wanted.size() <= longest_ && isFree(wanted)) return take(wanted);
        // A name that fits is numbered from 2 (it is the second of its name);
        // one cut short is numbered from 1.
        for (int number = wanted.size() <= longest_ ? 2 : 1;; ++number) {
            const std::string mark = kNameMark + std::to_string(number);
            std::string candidate = wanted + mark;
            if (candidate.size() > longest_) candidate = wanted.substr(0, longest_ - mark.size()) + mark;
            if (isFree(candidate) && !wanted_.contains(windowsKey(candidate))) return take(candidate);
        }
    }

private:
    bool isFree(const std::string& name) const { return !given_.contains(windowsKey(name)); }
    std::string take(const std::string& name) {
        given_.insert(windowsKey(name));
        return name;
    }

    std::size_t longest_;
    std::unordered_set<std::string> wanted_;
    std::unordered_set<std::string> given_;
};

std::string changedNameText(std::string_view object, std::string_view firstFile, std::string_view secondFile) {
    return "File names changed: " + std::string(object) + " is written to " + std::string(firstFile) + " and " +
           std::string(secondFile);
}

}  // namespace

bool isReservedOnWindows(std::string_view fileName) {
    const std::string stem = windowsKey(fileName.substr(0, fileName.find('.')));
    if (std::find(kDeviceNames.begin(), kDeviceNames.end(), stem) != kDeviceNames.end()) return true;
    if (stem.size() != kNumberedDeviceNameSize) return false;
    const std::string_view letters = std::string_view(stem).substr(0, kNumberedDeviceNameSize - 1);
    const char digit = stem.back();
    return std::find(kNumberedDeviceNames.begin(), kNumberedDeviceNames.end(), letters) !=
               kNumberedDeviceNames.end() &&
           digit >= '1' && digit <= '9';
}

ScriptNames::ScriptNames(const Catalog& catalog, const ReleaseInfo& release) {
    std::vector<std::string> wanted;
    for (const SchemaEntry& schema : catalog.schemaList) {
        wanted.push_back(clearOfDeviceNames(safeFileName(release.shownText(schema.name)), kFolderSuffixes));
    }
    FolderNames root(wanted, longestSchemaBase());
    for (std::size_t i = 0; i < catalog.schemaList.size(); ++i) {
        const SchemaEntry& schema = catalog.schemaList[i];
        const std::string& base = schemaBases_[&schema] = root.give(wanted[i]);
        if (base != safeFileName(release.shownText(schema.name))) {
            renamedSchemas_.insert(&schema);
            changedNames_.push_back(changedNameText("schema " + sqlName(release.shownText(schema.name)),
                                                    createFolderOf(base), dataFolderOf(base)));
        }
    }
    for (const SchemaEntry& schema : catalog.schemaList) nameTablesOf(catalog, schema, release);
}

void ScriptNames::nameTablesOf(const Catalog& catalog, const SchemaEntry& schema, const ReleaseInfo& release) {
    std::vector<const ObjectEntry*> tables;
    std::vector<std::string> wanted;
    for (const ObjectEntry& object : catalog.objectList) {
        if (!isTableOf(object, schema)) continue;
        tables.push_back(&object);
        wanted.push_back(clearOfDeviceNames(tableFileName(release.shownText(object.name)), kScriptSuffixes));
    }
    const std::string& folder = schemaBase(schema);
    FolderNames names(wanted, longestTableBase(folder));
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string& base = tableBases_[{&schema, tables[i]}] = names.give(wanted[i]);
        if (base != tableFileName(release.shownText(tables[i]->name))) {
            renamedTables_.insert({&schema, tables[i]});
            const std::string table =
                qualifiedTableName(release.shownText(schema.name), release.shownText(tables[i]->name));
            changedNames_.push_back(
                changedNameText("table " + table, createScriptOf(folder, base), dataScriptOf(folder, base)));
        }
    }
}

const std::string& ScriptNames::schemaBase(const SchemaEntry& schema) const { return schemaBases_.at(&schema); }

std::string ScriptNames::createFolder(const SchemaEntry& schema) const { return createFolderOf(schemaBase(schema)); }

std::string ScriptNames::dataFolder(const SchemaEntry& schema) const { return dataFolderOf(schemaBase(schema)); }

std::string ScriptNames::createTableScript(const SchemaEntry& schema, const ObjectEntry& table) const {
    return createScriptOf(schemaBase(schema), tableBases_.at({&schema, &table}));
}

std::string ScriptNames::dataScript(const SchemaEntry& schema, const ObjectEntry& table) const {
    return dataScriptOf(schemaBase(schema), tableBases_.at({&schema, &table}));
}

}  // namespace restorix
