#pragma once
// The file and folder names of one save. Each name is the object's name made
// safe for a file name (safeFileName), and then, within its folder:
//   - names that differ only in case are one file on Windows, so a name that
//     an earlier object of the folder already has gets "_2", "_3"... (never a
//     name another object of the folder maps to by itself);
//   - a device name that Windows reserves (CON, PRN, AUX, NUL, COM1-9, LPT1-9,
//     alone or before an extension) gets "_" after it;
//   - a name whose Commit.bat line would be longer than kCommitTextLimit keeps
//     its start and gets "_1", "_2"... so that the line fits.
// The names are given once per save, in catalog order (schemas in schemaList
// order, a schema's tables in objectList order), and every step that names a
// schema's folders or a table's scripts asks this object, so the Create Table
// script and the data script of one table always match. The suffixes
// ("_create", "Data.sql"...) come after the number.

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "datafile/block_scan.h"
#include "dictionary/catalog.h"

namespace restorix {

// Whether Windows takes the file name for a device: the part before the first
// dot is CON, PRN, AUX, NUL or COM1-9, LPT1-9, in any case.
bool isReservedOnWindows(std::string_view fileName);

class ScriptNames {
public:
    // Names every schema of the catalog and every table it owns. The catalog's
    // schema and object lists must not change while this object is used.
    ScriptNames(const Catalog& catalog, const ReleaseInfo& release);

    // SCHEMA_create and SCHEMA_data.
    std::string createFolder(const SchemaEntry& schema) const;
    std::string dataFolder(const SchemaEntry& schema) const;
    // SCHEMA_create\TABLE.sql and SCHEMA_data\TABLEData.sql, relative to the
    // output root with Windows backslashes.
    std::string createTableScript(const SchemaEntry& schema, const ObjectEntry& table) const;
    std::string dataScript(const SchemaEntry& schema, const ObjectEntry& table) const;

    // One text per schema or table whose files are not named by its name
    // alone: which object is written to which files, for the activity log.
    const std::vector<std::string>& changedNames() const { return changedNames_; }
    // Whether the table's scripts are not named by its and its schema's names
    // alone (a number, a "_" after a device name, a shortened name).
    bool scriptNamesChanged(const SchemaEntry& schema, const ObjectEntry& table) const {
        return renamedSchemas_.contains(&schema) || renamedTables_.contains({&schema, &table});
    }

private:
    void nameTablesOf(const Catalog& catalog, const SchemaEntry& schema, const ReleaseInfo& release);
    const std::string& schemaBase(const SchemaEntry& schema) const;

    std::map<const SchemaEntry*, std::string> schemaBases_;
    std::map<std::pair<const SchemaEntry*, const ObjectEntry*>, std::string> tableBases_;
    std::vector<std::string> changedNames_;
    std::set<const SchemaEntry*> renamedSchemas_;
    std::set<std::pair<const SchemaEntry*, const ObjectEntry*>> renamedTables_;
};

}  // namespace restorix
