#include "output/table_statements.h"

#include <algorithm>
#include <array>

#include "output/batch_files.h"
#include "output/sql_names.h"

namespace restorix {
namespace {

// How a column's type is written after its quoted name.
enum class TypeForm {
    Sized,         // type text + "(" + length + ")"
    Plain,         // type text alone
    NumberScaled,  // Number(p) or Number(p,s)
    NumberStar,    // Number(*,s): a scale without a precision
    Timestamp,     // Timestamp(fractional precision)
};

struct ColumnType {
    std::uint8_t typeCode;  // as the catalog keeps it: Oracle type + 1, or a NUMBER code
    std::string_view text;
    TypeForm form;
};

// Type codes as the column list stores them; every other code (ROWID,
// TIMESTAMP WITH TIME ZONE, object types ...) takes the fallback.
constexpr std::array<ColumnType, 14> kColumnTypes = {{
    {2, " Varchar2", TypeForm::Sized},
    {3, " Number", TypeForm::NumberStar},      // NUMBER with a scale and no precision
    {240, " Number", TypeForm::Plain},         // NUMBER without precision
    {241, " Number", TypeForm::NumberScaled},  // NUMBER(p) and NUMBER(p,s)
    {242, " Float", TypeForm::Sized},          // precision without scale: FLOAT(p)
    {9, " Long", TypeForm::Plain},
    {13, " Date", TypeForm::Plain},
    {24, " Raw", TypeForm::Sized},
    {25, " Long Raw", TypeForm::Plain},  // LONG RAW takes no length
    {97, " Char", TypeForm::Sized},
    {113, " Clob", TypeForm::Plain},
    {114, " Blob", TypeForm::Plain},
    {181, " Timestamp", TypeForm::Timestamp},
    {232, " Timestamp", TypeForm::Timestamp},  // WITH LOCAL TIME ZONE
}};

constexpr std::string_view kFallbackType = "Varchar2(10)";

// The dictionary keeps a TIMESTAMP's fractional precision 0 as 128.
constexpr int kTimestampPrecisionZero = 128;

const ColumnType* findColumnType(std::uint8_t typeCode) {
    const auto it = std::find_if(kColumnTypes.begin(), kColumnTypes.end(),
                                 [typeCode](const ColumnType& t) { return t.typeCode == typeCode; });
    return it == kColumnTypes.end() ? nullptr : &*it;
}

// Lengths and precisions are stored one higher than declared.
int declaredLength(const ColumnEntry& column) { return column.length - 1; }

std::string parenthesised(const std::string& inside) { return "(" + inside + ")"; }

std::string typeSuffix(const ColumnType& type, const ColumnEntry& column) {
    const std::string text(type.text);
    const int length = declaredLength(column);
    switch (type.form) {
        case TypeForm::Sized:
            return text + parenthesised(std::to_string(length));
        case TypeForm::Plain:
            return text;
        case TypeForm::NumberScaled:
            if (!column.scale || *column.scale == 0) return text + parenthesised(std::to_string(length));
            return text + parenthesised(std::to_string(length) + "," + std::to_string(*column.scale));
        case TypeForm::NumberStar:
            if (!column.scale) return text;
            return text + parenthesised("*," + std::to_string(*column.scale));
        case TypeForm::Timestamp:
            if (column.length == kTimestampPrecisionZero) return text + "(0)";
            return text + parenthesised(std::to_string(length));
    }
    return text;
}

}  // namespace

std::string columnDefinition(const ColumnEntry& column) {
    const ColumnType* type = findColumnType(column.typeCode);
    const std::string suffix = type ? typeSuffix(*type, column) : std::string(kFallbackType);
    return " " + quotedColumn(column.name) + suffix;
}

std::string createTableStatement(std::string_view schemaName, std::string_view tableName,
                                 std::span<const ColumnEntry* const> columns) {
    std::vector<const ColumnEntry*> ordered(columns.begin(), columns.end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const ColumnEntry* a, const ColumnEntry* b) {
        return a->columnNumber < b->columnNumber;
    });
    std::string statement = "Create Table " + qualifiedTableName(schemaName, tableName) + "(";
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        if (i > 0) statement += ",";
        statement += columnDefinition(*ordered[i]);
    }
    return statement + ");";
}

std::string createTableStatement(std::string_view schemaName, std::string_view tableName,
                                 std::span<const ColumnEntry> columns) {
    std::vector<const ColumnEntry*> pointers;
    pointers.reserve(columns.size());
    for (const ColumnEntry& column : columns) pointers.push_back(&column);
    return createTableStatement(schemaName, tableName, pointers);
}

std::string createTableScriptText(std::string_view schemaName, std::string_view tableName,
                                  std::span<const ColumnEntry* const> columns) {
    return withCrLf(createTableStatement(schemaName, tableName, columns)) + std::string(kScriptTrailer);
}

}  // namespace restorix
