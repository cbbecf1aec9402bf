#pragma once
// A scenario with every number decided: OBJ#, DATAOBJ#, CON#, column numbers,
// references resolved and the NOT NULL constraints the columns imply. The
// same scenario always gives the same plan, whether it came from JSON or C++.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/forge/dictionary_objects.h"
#include "tools/forge/scenario.h"

namespace restorix::forge {

struct PlannedObject {  // one OBJ$ row
    std::int32_t objectNumber = 0;
    std::optional<std::int32_t> dataObjectNumber;
    int owner = 0;
    std::string name;
    ObjectKind kind = ObjectKind::Table;
    bool deleted = false;
};

struct PlannedTable {
    const SchemaDef* schema = nullptr;
    const TableDef* def = nullptr;
    std::int32_t objectNumber = 0;
    std::int32_t dataObjectNumber = 0;
};

struct PlannedConstraint {
    int owner = 0;
    std::string name;
    ConstraintKind kind = ConstraintKind::Check;
    std::int32_t number = 0;
    std::int32_t tableObject = 0;
    std::vector<int> columnNumbers;  // 1-based, in key order
    std::string condition;
    std::int32_t referencedObject = 0;      // foreign keys
    std::int32_t referencedConstraint = 0;  // foreign keys
    bool deleted = false;                   // dropped with its table
};

struct PlannedView {
    const ViewDef* def = nullptr;
    int owner = 0;
    std::int32_t objectNumber = 0;
    std::vector<ColumnDef> columns;  // with types
};

struct PlannedTrigger {
    const TriggerDef* def = nullptr;
    int owner = 0;
    std::int32_t objectNumber = 0;
    std::int32_t baseObject = 0;  // 0: a database trigger
    std::string definition;
};

struct PlannedRoutine {
    const RoutineDef* def = nullptr;
    int owner = 0;
    std::int32_t objectNumber = 0;
};

struct ForgePlan {
    std::vector<const SchemaDef*> users;  // by user number
    std::vector<PlannedObject> objects;   // by object number
    std::vector<PlannedTable> tables;
    std::vector<PlannedConstraint> constraints;
    std::vector<PlannedView> views;
    std::vector<PlannedTrigger> triggers;
    std::vector<PlannedRoutine> routines;

    const PlannedTable* findTable(std::string_view schema, std::string_view table) const;
};

// Throws std::invalid_argument for a scenario that contradicts itself
// (duplicate numbers or names, unknown tables, columns or constraints,
// dictionary data object numbers taken by user objects, row values the
// column types cannot hold).
ForgePlan planScenario(const Scenario& scenario);

}  // namespace restorix::forge
