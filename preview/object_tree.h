#pragma once
// The Preview's tree as plain data: the datafile, its schemas, and under each
// schema seven categories with the schema's objects; plus the two summaries.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/catalog.h"

namespace restorix {

enum class Category { View, Trigger, Procedure, Table, Function, Constraints, Index };
constexpr std::array<std::string_view, 7> kCategoryNames = {"View",     "Trigger",     "Procedure", "Table",
                                                            "Function", "Constraints", "Index"};
constexpr std::string_view categoryName(Category c) { return kCategoryNames[static_cast<std::size_t>(c)]; }

// Counters are 16-bit, as the summaries show them.
struct SchemaStats {
    std::uint16_t tables = 0;
    std::uint16_t views = 0;
    std::uint16_t triggers = 0;
    std::uint16_t procedures = 0;
    std::uint16_t functions = 0;
};

struct DatabaseTotals {
    std::uint16_t schemas = 0;
    std::uint16_t tables = 0;
    std::uint16_t views = 0;
    std::uint16_t triggers = 0;
    std::uint16_t procedures = 0;
    std::uint16_t functions = 0;
};

struct SchemaNode {
    std::string name;
    // Node texts per category, in the order they were added.
    std::array<std::vector<std::string>, 7> categories;
    SchemaStats stats;

    const std::vector<std::string>& nodes(Category c) const { return categories[static_cast<std::size_t>(c)]; }
};

struct ObjectTree {
    std::string root;  // the datafile's path as labels show it
    std::vector<SchemaNode> schemas;
    DatabaseTotals totals;

    const SchemaNode* findSchema(std::string_view name) const;  // exact name
};

ObjectTree buildObjectTree(const Catalog& catalog, const std::string& sourcePath);

// For a database that stores UTF-8: every schema and node name of the tree
// as the characters its stored bytes spell (storedUtf8Text), for showing.
// The tree's names then no longer match the catalog's: look up in the tree
// built before.
void showStoredUtf8Names(ObjectTree& tree);

// The rows of the summary list.
std::vector<std::string> showDatabaseSummary(const DatabaseTotals& totals);
std::vector<std::string> showSchemaSummary(const SchemaStats& stats);

// The single column header of both summaries (45 blanks before the words).
inline constexpr const char* kSummaryHeader =
    "                                             Oracle Database Summary";

}  // namespace restorix
