#include "preview/object_tree.h"

#include <algorithm>

#include "platform/codepage.h"

namespace restorix {
namespace {

void addConstraintNodes(const Catalog& catalog, const ObjectEntry& table, SchemaNode& node) {
    for (const ConstraintDefEntry* def : catalog.constraintDefsOf(table.objNumber)) {
        const ConstraintNameEntry* name = catalog.findConstraintName(def->conNumber);
        if (name == nullptr || name->name.empty()) continue;
        switch (def->conType) {
            case 2:
                node.categories[static_cast<std::size_t>(Category::Index)].push_back(name->name);
                node.categories[static_cast<std::size_t>(Category::Constraints)].push_back(name->name);
                break;
            case 1:
            case 3:
            case 4:
            case 7:
                node.categories[static_cast<std::size_t>(Category::Constraints)].push_back(name->name);
                break;
            default:
                break;
        }
    }
}

// Adds one object under its category and counts it; false for other kinds.
bool addObjectNode(const ObjectEntry& object, SchemaNode& node, DatabaseTotals& totals) {
    auto add = [&](Category c, std::uint16_t& schemaCount, std::uint16_t& databaseCount) {
        node.categories[static_cast<std::size_t>(c)].push_back(object.name);
        ++schemaCount;
        ++databaseCount;
    };
    switch (object.type()) {
        case kView: add(Category::View, node.stats.views, totals.views); return true;
        case kTrigger: add(Category::Trigger, node.stats.triggers, totals.triggers); return true;
        case kProcedure: add(Category::Procedure, node.stats.procedures, totals.procedures); return true;
        case kFunction: add(Category::Function, node.stats.functions, totals.functions); return true;
        case kTable: add(Category::Table, node.stats.tables, totals.tables); return true;
        default: return false;
    }
}

}  // namespace

const SchemaNode* ObjectTree::findSchema(std::string_view name) const {
    auto it = std::find_if(schemas.begin(), schemas.end(), [&](const SchemaNode& s) { return s.name == name; });
    return it == schemas.end() ? nullptr : &*it;
}

void showStoredUtf8Names(ObjectTree& tree) {
    for (SchemaNode& schema : tree.schemas) {
        schema.name = storedUtf8Text(schema.name);
        for (std::vector<std::string>& nodes : schema.categories)
            for (std::string& node : nodes) node = storedUtf8Text(node);
    }
}

ObjectTree buildObjectTree(const Catalog& catalog, const std::string& sourcePath) {
    ObjectTree tree;
    tree.root = sourcePath;
    for (const SchemaEntry& schema : catalog.schemaList) {
        SchemaNode node;
        node.name = schema.name;
        ++tree.totals.schemas;
        for (const ObjectEntry& object : catalog.objectList) {
            if (!ownedBy(object, schema)) continue;
            if (addObjectNode(object, node, tree.totals) && object.type() == kTable) {
                addConstraintNodes(catalog, object, node);
            }
        }
        tree.schemas.push_back(std::move(node));
    }
    return tree;
}

std::vector<std::string> showDatabaseSummary(const DatabaseTotals& t) {
    return {
        "Total No of Schema: " + std::to_string(t.schemas),
        "Total No of Table: " + std::to_string(t.tables),
        "Total No of View: " + std::to_string(t.views),
        "Total No of Trigger: " + std::to_string(t.triggers),
        "Total No of Procedure: " + std::to_string(t.procedures),
        "Total No of Function: " + std::to_string(t.functions),
    };
}

std::vector<std::string> showSchemaSummary(const SchemaStats& s) {
    return {
        "Total No of Table: " + std::to_string(s.tables),
        "Total No of View: " + std::to_string(s.views),
        "Total No of Trigger: " + std::to_string(s.triggers),
        "Total No of Procedure: " + std::to_string(s.procedures),
        "Total No of Function: " + std::to_string(s.functions),
    };
}

}  // namespace restorix
