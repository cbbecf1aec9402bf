#include "tools/forge/forge_plan.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <stdexcept>

namespace restorix::forge {

namespace {

[[noreturn]] void reject(const std::string& why) { throw std::invalid_argument("scenario: " + why); }

// Hands out numbers from a start value, skipping those the scenario gives
// explicitly and the dictionary's own data object numbers.
class NumberSource {
public:
    explicit NumberSource(std::int32_t next) : next_(next) {}
    void reserve(std::int32_t n, const std::string& what) {
        if (!taken_.insert(n).second) reject("number " + std::to_string(n) + " used twice (" + what + ")");
    }
    std::int32_t take(std::optional<std::int32_t> explicitNumber) {
        if (explicitNumber) return *explicitNumber;
        while (taken_.count(next_) || isReservedDataObject(next_)) ++next_;
        taken_.insert(next_);
        return next_++;
    }

private:
    std::int32_t next_;
    std::set<std::int32_t> taken_;
};

std::string qualified(const SchemaDef& schema, const std::string& name) { return schema.name + "." + name; }

int columnNumberOf(const TableDef& table, const std::string& column, const std::string& context) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        if (table.columns[i].name == column && !table.columns[i].unused) return declaredColumnNumber(table.columns, i);
    reject(context + ": table " + table.name + " has no column " + column);
}

std::string systemConstraintName(std::int32_t number) {
    char text[24];
    std::snprintf(text, sizeof text, "SYS_C%06d", static_cast<int>(number));
    return text;
}

class Planner {
public:
    explicit Planner(const Scenario& scenario)
        : scenario_(scenario), objectNumbers_(scenario.firstObjectNumber), constraintNumbers_(scenario.firstConstraintNumber) {}

    ForgePlan run() {
        planUsers();
        reserveExplicitNumbers();
        for (const SchemaDef& schema : scenario_.schemas) planTables(schema);
        checkSegments();
        for (const SchemaDef& schema : scenario_.schemas) planConstraints(schema);
        resolveForeignKeys();
        for (const SchemaDef& schema : scenario_.schemas) planIndexesAndViews(schema);
        for (const SchemaDef& schema : scenario_.schemas) planTriggersAndRoutines(schema);
        std::stable_sort(plan_.objects.begin(), plan_.objects.end(),
                         [](const PlannedObject& a, const PlannedObject& b) { return a.objectNumber < b.objectNumber; });
        return std::move(plan_);
    }

private:
    void planUsers() {
        std::set<int> numbers;
        std::set<std::string> names;
        for (const SchemaDef& schema : scenario_.schemas) {
            if (!numbers.insert(schema.userNumber).second) reject("user number " + std::to_string(schema.userNumber) + " used twice");
            if (!names.insert(schema.name).second) reject("user " + schema.name + " defined twice");
            if (schema.role && !(schema.tables.empty() && schema.views.empty() && schema.triggers.empty() &&
                                 schema.routines.empty() && schema.constraints.empty()))
                reject("role " + schema.name + " cannot own objects");
            plan_.users.push_back(&schema);
        }
        std::stable_sort(plan_.users.begin(), plan_.users.end(),
                         [](const SchemaDef* a, const SchemaDef* b) { return a->userNumber < b->userNumber; });
    }

    void reserveExplicitNumbers() {
        for (const SchemaDef& schema : scenario_.schemas) {
            auto reserveObject = [&](const std::optional<std::int32_t>& n, const std::string& name) {
                if (!n) return;
                if (isReservedDataObject(*n)) reject(qualified(schema, name) + " takes a dictionary data object number");
                objectNumbers_.reserve(*n, qualified(schema, name));
            };
            for (const TableDef& t : schema.tables) {
                reserveObject(t.objectNumber, t.name);
                if (t.dataObjectNumber && t.dataObjectNumber != t.objectNumber)
                    reserveObject(t.dataObjectNumber, t.name + " (data object)");
            }
            for (const ViewDef& v : schema.views) reserveObject(v.objectNumber, v.name);
            for (const TriggerDef& t : schema.triggers) reserveObject(t.objectNumber, t.name);
            for (const RoutineDef& r : schema.routines) reserveObject(r.objectNumber, r.name);
            for (const ConstraintDef& c : schema.constraints)
                if (c.number) constraintNumbers_.reserve(*c.number, qualified(schema, c.name));
        }
    }

    void planTables(const SchemaDef& schema) {
        for (const TableDef& t : schema.tables) {
            if (t.columns.empty()) reject(qualified(schema, t.name) + " has no columns");
            std::set<std::string> columnNames;
            for (const ColumnDef& c : t.columns)
                if (!columnNames.insert(c.name).second) reject(qualified(schema, t.name) + " has column " + c.name + " twice");
            PlannedTable table{&schema, &t, objectNumbers_.take(t.objectNumber), 0};
            table.dataObjectNumber = t.dataObjectNumber.value_or(table.objectNumber);
            plan_.tables.push_back(table);
            plan_.objects.push_back({table.objectNumber, table.dataObjectNumber, schema.userNumber, t.name,
                                     ObjectKind::Table, t.dropped});
        }
    }

    // Every table segment (and every segment left from before a truncate)
    // has a data object number of its own.
    void checkSegments() {
        std::set<std::int32_t> segments;
        for (const PlannedTable& t : plan_.tables) {
            if (!segments.insert(t.dataObjectNumber).second)
                reject(qualified(*t.schema, t.def->name) + " shares its data object number");
            if (!t.def->staleRows.empty()) {
                if (t.dataObjectNumber == t.objectNumber)
                    reject(qualified(*t.schema, t.def->name) + " has stale rows but was never truncated");
                if (!segments.insert(t.objectNumber).second)
                    reject(qualified(*t.schema, t.def->name) + " stale segment clashes with another segment");
            }
        }
    }

    void planConstraints(const SchemaDef& schema) {
        for (const PlannedTable& table : plan_.tables) {
            if (table.schema != &schema) continue;
            for (std::size_t i = 0; i < table.def->columns.size(); ++i) {
                const ColumnDef& column = table.def->columns[i];
                if (!column.notNull || column.unused) continue;
                PlannedConstraint c;
                c.owner = schema.userNumber;
                c.kind = ConstraintKind::NotNull;
                c.number = constraintNumbers_.take(std::nullopt);
                c.name = systemConstraintName(c.number);
                c.tableObject = table.objectNumber;
                c.deleted = table.def->dropped;
                c.columnNumbers = {declaredColumnNumber(table.def->columns, i)};
                c.condition = "\"" + column.name + "\" IS NOT NULL";
                plan_.constraints.push_back(c);
            }
        }
        std::set<std::string> names;
        for (const ConstraintDef& def : schema.constraints) {
            const std::string context = qualified(schema, def.name);
            if (!names.insert(def.name).second) reject("constraint " + context + " defined twice");
            const PlannedTable* table = plan_.findTable(schema.name, def.table);
            if (!table) reject(context + " is on unknown table " + def.table);
            PlannedConstraint c;
            c.owner = schema.userNumber;
            c.name = def.name;
            c.kind = def.kind;
            c.number = constraintNumbers_.take(def.number);
            c.tableObject = table->objectNumber;
            c.deleted = table->def->dropped;
            for (const std::string& column : def.columns) c.columnNumbers.push_back(columnNumberOf(*table->def, column, context));
            c.condition = def.condition;
            if (def.kind == ConstraintKind::NotNull && c.condition.empty() && def.columns.size() == 1)
                c.condition = "\"" + def.columns.front() + "\" IS NOT NULL";
            const bool needsColumns = def.kind != ConstraintKind::Check;
            if (needsColumns && c.columnNumbers.empty()) reject(context + " needs columns");
            if (def.kind == ConstraintKind::Check && def.condition.empty()) reject(context + " needs a condition");
            plan_.constraints.push_back(c);
            pendingReferences_.push_back({plan_.constraints.size() - 1, &schema, &def});
        }
    }

    void resolveForeignKeys() {
        for (const auto& [index, schema, def] : pendingReferences_) {
            if (def->kind != ConstraintKind::ForeignKey) continue;
            const std::string schemaName = def->referencedSchema.empty() ? schema->name : def->referencedSchema;
            const SchemaDef* target = scenario_.findSchema(schemaName);
            if (!target) reject(qualified(*schema, def->name) + " references unknown schema " + schemaName);
            const PlannedConstraint* referenced = nullptr;
            for (const PlannedConstraint& c : plan_.constraints)
                if (c.owner == target->userNumber && c.name == def->referencedConstraint) referenced = &c;
            if (!referenced || (referenced->kind != ConstraintKind::PrimaryKey && referenced->kind != ConstraintKind::Unique))
                reject(qualified(*schema, def->name) + " must reference a primary or unique key, not " + schemaName + "." +
                       def->referencedConstraint);
            PlannedConstraint& fk = plan_.constraints[index];
            fk.referencedObject = referenced->tableObject;
            fk.referencedConstraint = referenced->number;
        }
    }

    ColumnType viewColumnType(const SchemaDef& schema, const ColumnDef& column) const {
        if (column.type != ColumnType{}) return column.type;
        for (const TableDef& t : schema.tables)
            for (const ColumnDef& c : t.columns)
                if (c.name == column.name) return c.type;
        return parseColumnType("VARCHAR2(4000)");
    }

    void planIndexesAndViews(const SchemaDef& schema) {
        // Primary and unique keys come with an index of the same name.
        for (const PlannedConstraint& c : plan_.constraints) {
            if (c.owner != schema.userNumber) continue;
            if (c.kind != ConstraintKind::PrimaryKey && c.kind != ConstraintKind::Unique) continue;
            const std::int32_t index = objectNumbers_.take(std::nullopt);
            plan_.objects.push_back({index, index, schema.userNumber, c.name, ObjectKind::Index, c.deleted});
        }
        for (const ViewDef& v : schema.views) {
            if (v.columns.empty()) reject(qualified(schema, v.name) + " has no columns");
            PlannedView view{&v, schema.userNumber, objectNumbers_.take(v.objectNumber), {}};
            for (const ColumnDef& c : v.columns) view.columns.push_back({c.name, viewColumnType(schema, c), c.notNull, std::nullopt});
            plan_.views.push_back(view);
            plan_.objects.push_back({view.objectNumber, std::nullopt, schema.userNumber, v.name, ObjectKind::View, false});
        }
    }

    void planTriggersAndRoutines(const SchemaDef& schema) {
        for (const TriggerDef& t : schema.triggers) planTrigger(schema, t);
        for (const RoutineDef& r : schema.routines) {
            if (r.lines.empty()) reject(qualified(schema, r.name) + " has no source");
            PlannedRoutine routine{&r, schema.userNumber, objectNumbers_.take(r.objectNumber)};
            plan_.routines.push_back(routine);
            plan_.objects.push_back({routine.objectNumber, std::nullopt, schema.userNumber, r.name,
                                     r.isFunction ? ObjectKind::Function : ObjectKind::Procedure, false});
        }
    }

    void planTrigger(const SchemaDef& schema, const TriggerDef& t) {
        PlannedTrigger trigger{&t, schema.userNumber, objectNumbers_.take(t.objectNumber), 0, ""};
        std::string target = "database";
        if (!t.table.empty()) {
            const std::string baseSchema = t.tableSchema.empty() ? schema.name : t.tableSchema;
            trigger.baseObject = baseObjectNumber(baseSchema, t.table);
            if (trigger.baseObject == 0) reject(qualified(schema, t.name) + " is on unknown table " + baseSchema + "." + t.table);
            target = baseSchema + "." + t.table;
        }
        trigger.definition = t.definition.value_or(defaultDefinition(t, target));
        plan_.triggers.push_back(trigger);
        plan_.objects.push_back({trigger.objectNumber, std::nullopt, schema.userNumber, t.name, ObjectKind::Trigger, false});
    }

    // Triggers sit on tables, or (INSTEAD OF) on views.
    std::int32_t baseObjectNumber(const std::string& schemaName, const std::string& name) {
        if (const PlannedTable* table = plan_.findTable(schemaName, name)) return table->objectNumber;
        const SchemaDef* schema = scenario_.findSchema(schemaName);
        if (!schema) return 0;
        for (const PlannedView& view : plan_.views)
            if (view.owner == schema->userNumber && view.def->name == name) return view.objectNumber;
        return 0;
    }

    // The trigger's heading as it was written after CREATE TRIGGER.
    static std::string defaultDefinition(const TriggerDef& t, const std::string& target) {
        static const char* const kTimings[] = {"before", "before", "after", "after", "instead of"};
        std::string events;
        auto addEvent = [&](bool on, const char* name) {
            if (!on) return;
            if (!events.empty()) events += " or ";
            events += name;
        };
        addEvent(t.onInsert, "insert");
        addEvent(t.onUpdate, "update");
        addEvent(t.onDelete, "delete");
        if (events.empty()) events = "logon";
        const bool eachRow = t.timing == TriggerTiming::BeforeEachRow || t.timing == TriggerTiming::AfterEachRow ||
                             t.timing == TriggerTiming::InsteadOf;
        return t.name + " " + kTimings[static_cast<int>(t.timing)] + " " + events +
               " on " + target + (eachRow && !t.table.empty() ? " for each row\n" : "\n");
    }

    struct PendingReference {
        std::size_t index;
        const SchemaDef* schema;
        const ConstraintDef* def;
    };

    const Scenario& scenario_;
    NumberSource objectNumbers_;
    NumberSource constraintNumbers_;
    std::vector<PendingReference> pendingReferences_;
    ForgePlan plan_;
};

}  // namespace

const PlannedTable* ForgePlan::findTable(std::string_view schema, std::string_view table) const {
    for (const PlannedTable& t : tables)
        if (t.schema->name == schema && t.def->name == table) return &t;
    return nullptr;
}

ForgePlan planScenario(const Scenario& scenario) { return Planner(scenario).run(); }

}  // namespace restorix::forge
