#pragma once
// Index and constraint statements built from the recovered constraint
// definitions: those written to Index\Index.sql and Constraints\Constraints.sql,
// and the single statement the preview shows for a selected constraint.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/catalog.h"

namespace restorix {

// Constraint type numbers as the definitions keep them.
enum ConstraintType : int {
    kCheckConstraint = 1,
    kPrimaryKey = 2,
    kUniqueKey = 3,
    kForeignKey = 4,
    kNotNullCheck = 7,
};

// The constraint's column names in constraint-column order. Each is the name
// of the first column of the constrained table whose number matches; a
// constraint column without such a table column is left out.
std::vector<std::string> constraintColumnList(const Catalog& catalog, const ConstraintDefEntry& def);

// The table a foreign key references (the table of its referenced
// constraint), qualified by that table's own schema; the table alone when its
// owner has no schema entry; nullopt when the referenced constraint or its
// table is not in the catalog.
std::optional<std::string> referencedTableName(const Catalog& catalog, const ConstraintDefEntry& def);

// What one definition appends to the two scripts, each statement followed by
// ";" and an empty line (a check whose condition holds a line that sqlplus
// would not read as part of it: statementRunAsData); an empty text appends
// nothing. Only a primary key
// writes an index. Statements that need a name the catalog lacks are left
// out: a key without a constraint name or with a column that is not found,
// and a foreign key whose referenced constraint, table or columns are unknown.
// Checks need no name and are always written.
struct ConstraintScriptTexts {
    std::string indexText;
    std::string constraintText;
};
ConstraintScriptTexts constraintScriptTexts(const Catalog& catalog, std::string_view schemaName,
                                            std::string_view tableName, const ConstraintDefEntry& def);

// The preview of the constraint named constraintName (the first of that name,
// ignoring case): its column header and statement. nullopt when the name or
// its definition is not in the catalog, or for a type the preview does not
// show. Parts the catalog lacks (table, referenced table, columns) are empty.
struct ConstraintPreview {
    std::string header;
    std::string statement;
};
std::optional<ConstraintPreview> constraintPreview(const Catalog& catalog, std::string_view schemaName,
                                                   std::string_view constraintName);

}  // namespace restorix
