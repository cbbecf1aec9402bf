#pragma once
// What a forged datafile holds: users and roles, and per schema its tables
// (with rows), constraints, views, triggers, procedures and functions.
// Build it in C++ with the helpers below or load it from JSON:
//
// {
//   "created": "2008-05-01 10:00:00",          // CTIME/MTIME of every object (optional)
//   "firstObjectNumber": 51000,                 // where automatic OBJ# start (optional)
//   "firstConstraintNumber": 9000,              // where automatic CON# start (optional)
//   "schemas": [
//     { "name": "CONNECT", "user": 2, "role": true },
//     { "name": "HR", "user": 30,
//       "tables": [
//         { "name": "EMP", "obj": 52001,          // OBJ# (optional, automatic otherwise)
//           "dataObj": 52001,                     // DATAOBJ# (optional, = OBJ#; differs after TRUNCATE)
//           "dropped": false,                     // OBJ$ row deleted, COL$ rows deleted
//           "columns": [ { "name": "EMPNO", "type": "NUMBER(4)", "notNull": true },
//                        { "name": "HIRED", "type": "DATE", "default": "SYSDATE" },
//                        { "name": "OLD", "type": "NUMBER", "unused": true },   // SET UNUSED: COL# 0
//                        { "name": "BAD", "type": "NUMBER",                      // COL$ values replaced
//                          "damaged": { "type": 250, "length": -1, "precision": 40 } } ],
//           "rows": [ ["7369", "1980-12-17"],               // text per column, null = NULL
//                     { "values": ["7499", null], "storage": "deleted" },
//                     { "values": ["7521", null], "extraValues": ["X"] } ],  // stored after every column
//                                                 // storage: normal | deleted | migrated | chained
//           "staleRows": [ ["1", "2001-01-01"] ]  // left in the segment numbered OBJ# (truncated tables)
//         } ],
//       "constraints": [
//         { "name": "EMP_PK", "table": "EMP", "type": "primary", "columns": ["EMPNO"] },
//         { "name": "EMP_UK", "table": "EMP", "type": "unique", "columns": ["ENAME"] },
//         { "name": "EMP_MGR_FK", "table": "EMP", "type": "foreign", "columns": ["MGR"],
//           "references": "HR.EMP_PK" },          // SCHEMA.CONSTRAINT, or CONSTRAINT in this schema
//         { "name": "EMP_SAL_CK", "table": "EMP", "type": "check", "condition": "SAL > 0" } ],
//                                                 // "notnull" too; "number" sets CON#
//       "views": [ { "name": "EMP_V", "text": "select EMPNO from EMP", "columns": ["EMPNO"] } ],
//                                                 // a column is a name or {"name", "type"}
//       "triggers": [ { "name": "EMP_BIU", "timing": "before each row",
//                       // before statement | before each row | after statement | after each row
//                       // | instead of, or the TYPE# 0..4
//                       "events": ["insert", "update"], "table": "EMP",   // or "HR.EMP"; none: database
//                       "when": "new.sal > 0", "body": "begin null; end;",
//                       "definition": "..." } ],  // optional, derived from the rest otherwise
//       "procedures": [ { "name": "RAISE_SAL", "source": "PROCEDURE RAISE_SAL IS\nBEGIN\n  NULL;\nEND;\n" } ],
//       "functions": [ { "name": "NET_PAY", "source": ["FUNCTION NET_PAY RETURN NUMBER IS\n", "..."] } ]
//     } ]
// }
//
// Every object takes "obj" for its OBJ#. A source text is cut into lines after
// each line feed; a source array is stored line by line as given.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/forge/column_type.h"

namespace restorix::forge {

// COL$ values that replace the ones the column's type gives: a damaged row.
struct CatalogDamage {
    std::optional<long long> typeNumber;  // TYPE#
    std::optional<long long> length;      // LENGTH
    std::optional<long long> precision;   // PRECISION#
};

struct ColumnDef {
    std::string name;
    ColumnType type;
    bool notNull = false;
    std::optional<std::string> defaultText;
    // SET UNUSED: COL# 0 and marked hidden in COL$, its values still stored.
    bool unused = false;
    std::optional<CatalogDamage> damaged{};
};

// The COL# of the table's column at `index`: declared columns are numbered
// from 1 in order, an unused column has 0.
int declaredColumnNumber(const std::vector<ColumnDef>& columns, std::size_t index);

enum class RowStorage {
    Normal,    // one live piece
    Deleted,   // one deleted piece
    Migrated,  // a head piece pointing to the row stored in another block
    Chained,   // a head piece with the first columns, the last piece elsewhere
    SplitColumn,  // chained with a column split across two pieces in two blocks
    BrokenChain,  // a head piece whose next-piece address names a missing slot
    ChainLoop,    // a head and a middle piece whose address leads back to the head
};

using Value = std::optional<std::string>;

struct RowDef {
    std::vector<Value> values;
    RowStorage storage = RowStorage::Normal;
    // Stored as text after every column: a row whose column count is damaged.
    std::vector<Value> extraValues{};
};

struct TableDef {
    std::string name;
    std::optional<std::int32_t> objectNumber;
    std::optional<std::int32_t> dataObjectNumber;
    bool dropped = false;
    std::vector<ColumnDef> columns;
    std::vector<RowDef> rows;
    std::vector<RowDef> staleRows;

    TableDef& column(std::string columnName, std::string_view type, bool notNull = false);
    TableDef& row(std::vector<Value> values, RowStorage storage = RowStorage::Normal);
};

enum class ConstraintKind : int { Check = 1, PrimaryKey = 2, Unique = 3, ForeignKey = 4, NotNull = 7 };

struct ConstraintDef {
    std::string name;
    std::string table;
    ConstraintKind kind = ConstraintKind::Check;
    std::vector<std::string> columns;
    std::string condition;
    std::string referencedSchema;      // foreign keys; empty = the same schema
    std::string referencedConstraint;  // foreign keys
    std::optional<std::int32_t> number;
};

struct ViewDef {
    std::string name;
    std::optional<std::int32_t> objectNumber;
    std::string text;
    std::vector<ColumnDef> columns;
};

enum class TriggerTiming : int { BeforeStatement = 0, BeforeEachRow = 1, AfterStatement = 2, AfterEachRow = 3, InsteadOf = 4 };

struct TriggerDef {
    std::string name;
    std::optional<std::int32_t> objectNumber;
    TriggerTiming timing = TriggerTiming::BeforeEachRow;
    bool onInsert = false;
    bool onUpdate = false;
    bool onDelete = false;
    std::string tableSchema;  // empty: the trigger's own schema
    std::string table;        // empty: a database (or schema) trigger
    std::optional<std::string> definition;
    std::optional<std::string> when;
    std::string body;
};

struct RoutineDef {
    std::string name;
    std::optional<std::int32_t> objectNumber;
    bool isFunction = false;
    std::vector<std::string> lines;  // each normally ends with a line feed
};

struct SchemaDef {
    std::string name;
    int userNumber = 0;
    bool role = false;
    std::vector<TableDef> tables;
    std::vector<ConstraintDef> constraints;
    std::vector<ViewDef> views;
    std::vector<TriggerDef> triggers;
    std::vector<RoutineDef> routines;

    TableDef& table(std::string tableName, std::optional<std::int32_t> objectNumber = std::nullopt);
    SchemaDef& primaryKey(std::string constraintName, std::string tableName, std::vector<std::string> columns);
    SchemaDef& unique(std::string constraintName, std::string tableName, std::vector<std::string> columns);
    SchemaDef& foreignKey(std::string constraintName, std::string tableName, std::vector<std::string> columns,
                          std::string referencedSchema, std::string referencedConstraint);
    SchemaDef& check(std::string constraintName, std::string tableName, std::string condition);
    ViewDef& view(std::string viewName, std::string text, std::vector<std::string> columnNames);
    TriggerDef& trigger(std::string triggerName, TriggerTiming timing, std::string tableName, std::string body);
    RoutineDef& procedure(std::string routineName, std::string source);
    RoutineDef& function(std::string routineName, std::string source);
};

struct Scenario {
    std::string created = "2008-05-01 10:00:00";
    std::int32_t firstObjectNumber = 51000;
    std::int32_t firstConstraintNumber = 9000;
    std::vector<SchemaDef> schemas;

    SchemaDef& user(std::string name, int userNumber);
    SchemaDef& role(std::string name, int userNumber);
    SchemaDef* findSchema(std::string_view name);
    const SchemaDef* findSchema(std::string_view name) const;
};

// Cuts a source text into lines, each keeping its line feed.
std::vector<std::string> sourceLines(std::string_view source);

// Throws std::invalid_argument (with the JSON path of the fault) for JSON that
// does not describe a scenario.
Scenario parseScenario(std::string_view jsonText);
Scenario loadScenario(const std::string& jsonPath);

// The small scenario the forge writes when it is given none.
Scenario builtinScenario();

}  // namespace restorix::forge
