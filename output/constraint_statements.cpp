#include "output/constraint_statements.h"

#include <algorithm>

#include "output/batch_files.h"
#include "output/sql_names.h"
#include "output/sqlplus_lines.h"
#include "tabledata/sql_literal.h"

namespace restorix {
namespace {

constexpr std::string_view kStatementEnd = ";\r\n\r\n";

struct ResolvedColumns {
    std::vector<std::string> names;
    bool complete = true;  // every constraint column was found in the table
};

ResolvedColumns resolveColumns(const Catalog& catalog, const ConstraintDefEntry& def) {
    ResolvedColumns resolved;
    const std::vector<const ColumnEntry*> tableColumns = catalog.columnsOf(def.objNumber);
    for (const ConstraintColumnEntry* conColumn : catalog.constraintColumnsOf(def.conNumber)) {
        const auto match = std::find_if(tableColumns.begin(), tableColumns.end(), [&](const ColumnEntry* c) {
            return c->number() == conColumn->columnNumber;
        });
        if (match == tableColumns.end()) {
            resolved.complete = false;
        } else {
            resolved.names.push_back((*match)->name);
        }
    }
    return resolved;
}

// "A","B": each name in one pair of double quotes, no blanks.
std::string quotedColumnList(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) out += ",";
        out += quotedColumn(names[i]);
    }
    return out;
}

const ConstraintDefEntry* referencedConstraint(const Catalog& catalog, const ConstraintDefEntry& def) {
    return catalog.findConstraintDef(def.refConNumber);
}

const std::string* constraintNameOf(const Catalog& catalog, const ConstraintDefEntry& def) {
    const ConstraintNameEntry* entry = catalog.findConstraintName(def.conNumber);
    return entry ? &entry->name : nullptr;
}

std::string parenthesised(const std::string& inside) { return "(" + inside + ")"; }

// A primary, unique or foreign key is only written with its name and all its columns:
// a key over fewer columns would be a different key.
std::optional<std::string> keyColumns(const Catalog& catalog, const ConstraintDefEntry& def) {
    const ResolvedColumns columns = resolveColumns(catalog, def);
    if (!columns.complete || columns.names.empty()) return std::nullopt;
    return quotedColumnList(columns.names);
}

std::optional<std::string> foreignKeyReferences(const Catalog& catalog, const ConstraintDefEntry& def) {
    const ConstraintDefEntry* referenced = referencedConstraint(catalog, def);
    if (!referenced) return std::nullopt;
    const std::optional<std::string> table = referencedTableName(catalog, def);
    const std::optional<std::string> columns = keyColumns(catalog, *referenced);
    if (!table || !columns) return std::nullopt;
    return " REFERENCES " + *table + parenthesised(*columns);
}

}  // namespace

std::vector<std::string> constraintColumnList(const Catalog& catalog, const ConstraintDefEntry& def) {
    return resolveColumns(catalog, def).names;
}

std::optional<std::string> referencedTableName(const Catalog& catalog, const ConstraintDefEntry& def) {
    const ConstraintDefEntry* referenced = referencedConstraint(catalog, def);
    if (!referenced) return std::nullopt;
    const ObjectEntry* table = catalog.findObject(referenced->objNumber);
    if (!table) return std::nullopt;
    const SchemaEntry* owner = catalog.findSchemaByUser(table->owner());
    if (!owner) return tableSqlName(table->name);
    return qualifiedTableName(owner->name, table->name);
}

ConstraintScriptTexts constraintScriptTexts(const Catalog& catalog, std::string_view schemaName,
                                            std::string_view tableName, const ConstraintDefEntry& def) {
    ConstraintScriptTexts texts;
    const std::string alterTable = "ALTER TABLE " + qualifiedTableName(schemaName, tableName);
    switch (def.conType) {
        case kCheckConstraint:
            texts.constraintText = alterTable + " ADD CHECK" + parenthesised(def.condition);
            break;
        case kNotNullCheck:
            texts.constraintText = alterTable + " ADD CHECK " + parenthesised(def.condition);
            break;
        case kPrimaryKey:
        case kUniqueKey:
        case kForeignKey: {
            const std::string* name = constraintNameOf(catalog, def);
            const std::optional<std::string> columns = keyColumns(catalog, def);
            if (!name || !columns) return {};
            const std::string addConstraint = alterTable + " ADD CONSTRAINT " + sqlName(*name);
            if (def.conType == kPrimaryKey) {
                texts.indexText = "CREATE UNIQUE INDEX " + sqlName(schemaName) + "." + sqlName(*name) +
                                  " on " + qualifiedTableName(schemaName, tableName) +
                                  parenthesised(*columns);
                texts.constraintText = addConstraint + " PRIMARY KEY " + parenthesised(*columns);
            } else if (def.conType == kUniqueKey) {
                texts.constraintText = addConstraint + " UNIQUE " + parenthesised(*columns);
            } else {
                const std::optional<std::string> references = foreignKeyReferences(catalog, def);
                if (!references) return {};
                texts.constraintText = addConstraint + " FOREIGN KEY " + parenthesised(*columns) + *references;
            }
            break;
        }
        default:
            return {};
    }
    breakBetweenColumns(texts.indexText, kCrLf);
    if (!texts.indexText.empty()) texts.indexText += kStatementEnd;
    // A check condition is stored text: a line of it that sqlplus would not
    // read as part of the statement makes the statement travel as data.
    const std::string statement = texts.constraintText;
    breakBetweenColumns(texts.constraintText, kCrLf);
    if (holdsSqlplusControlLine(texts.constraintText, StatementLanguage::Sql)) {
        texts.constraintText = statementRunAsData(statement);
    } else {
        texts.constraintText += kStatementEnd;
    }
    return texts;
}

std::optional<ConstraintPreview> constraintPreview(const Catalog& catalog, std::string_view schemaName,
                                                   std::string_view constraintName) {
    const auto nameEntry =
        std::find_if(catalog.constraintNames.begin(), catalog.constraintNames.end(),
                     [&](const ConstraintNameEntry& e) { return equalsIgnoringAsciiCase(e.name, constraintName); });
    if (nameEntry == catalog.constraintNames.end()) return std::nullopt;
    const ConstraintDefEntry* def = catalog.findConstraintDef(nameEntry->conNumber);
    if (!def) return std::nullopt;

    // The preview shows what it has: a missing table or column leaves its part empty.
    const ObjectEntry* table = catalog.findObject(def->objNumber);
    const std::string schema = sqlName(schemaName);
    const std::string qualifiedTable = schema + "." + (table ? tableSqlName(table->name) : std::string());
    const std::string name = sqlName(nameEntry->name);
    const std::string columns = quotedColumnList(constraintColumnList(catalog, *def));
    const std::string alterTable = "ALTER TABLE " + qualifiedTable;

    switch (def->conType) {
        case kPrimaryKey:
            return ConstraintPreview{"DDL FOR INDEX", "CREATE UNIQUE INDEX " + schema + "." + name + " ON " +
                                                          qualifiedTable + parenthesised(columns)};
        case kForeignKey: {
            const ConstraintDefEntry* referenced = referencedConstraint(catalog, *def);
            const std::string referencedColumns =
                referenced ? quotedColumnList(constraintColumnList(catalog, *referenced)) : std::string();
            return ConstraintPreview{"DDL FOR CONSTRAINTS",
                                     alterTable + " ADD CONSTRAINT " + name + " FOREIGN KEY " +
                                         parenthesised(columns) + " REFERENCES " +
                                         referencedTableName(catalog, *def).value_or("") +
                                         parenthesised(referencedColumns)};
        }
        case kCheckConstraint:
        case kNotNullCheck:
            return ConstraintPreview{"DDL FOR CONSTRAINTS", alterTable + " ADD CHECK" + parenthesised(def->condition)};
        case kUniqueKey:
            return ConstraintPreview{"DDL FOR CONSTRAINTS",
                                     alterTable + " ADD CONSTRAINT " + name + " UNIQUE " + parenthesised(" " + columns)};
        default:
            return std::nullopt;
    }
}

}  // namespace restorix
