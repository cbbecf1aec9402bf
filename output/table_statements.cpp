#include "output/table_statements.h"

#include <algorithm>

#include "output/batch_files.h"
#include "output/sql_names.h"
#include "tabledata/column_types.h"
#include "tabledata/sql_literal.h"

namespace restorix {
namespace {

constexpr std::string_view kFallbackType = "Varchar2(10)";

// Lengths and precisions are stored one higher than declared.
int declaredLength(const ColumnEntry& column) { return column.length - 1; }

std::string parenthesised(const std::string& inside) { return "(" + inside + ")"; }

std::string typeSuffix(const ColumnType& type, const ColumnEntry& column, NationalCharset national) {
    const std::string text(type.text);
    const int length = declaredLength(column);
    switch (type.form) {
        case TypeForm::Sized:
            return text + parenthesised(std::to_string(length)) + std::string(type.suffix);
        case TypeForm::IntervalDay:
            return text + parenthesised(std::to_string(length)) + std::string(type.suffix) +
                   (column.scale ? parenthesised(std::to_string(*column.scale)) : std::string());
        case TypeForm::NationalSized:
            // COL$ LENGTH counts bytes; the declaration counts characters.
            return text + parenthesised(std::to_string(length / bytesPerNationalCharacter(national)));
        case TypeForm::Plain:
            return text;
        case TypeForm::NumberScaled:
            if (!column.scale || *column.scale == 0) return text + parenthesised(std::to_string(length));
            return text + parenthesised(std::to_string(length) + "," + std::to_string(*column.scale));
        case TypeForm::NumberStar:
            if (!column.scale) return text;
            return text + parenthesised("*," + std::to_string(*column.scale));
        case TypeForm::Fallback:
            return std::string(kFallbackType);
    }
    return text;
}

constexpr std::string_view kRemark = "REM ";

std::string unreadableColumnText(const ColumnEntry& column) {
    std::string text = "the COL$ row of ";
    if (column.columnNumber > 0) text += "column " + std::to_string(column.columnNumber) + " ";
    return text + quotedColumn(column.name) + " cannot be read (" + std::string(columnDamageText(column.damage)) + ")";
}

// Every control character (line breaks included) as "_".
std::string oneLine(std::string text) {
    constexpr unsigned char kFirstPrintable = 0x20;
    constexpr unsigned char kDelete = 0x7F;
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < kFirstPrintable || byte == kDelete) c = '_';
    }
    return text;
}

}  // namespace

std::string tableNotCreatedNote(std::string_view schemaName, std::string_view tableName,
                                std::span<const ColumnEntry* const> unreadableColumns) {
    std::string note = qualifiedTableName(schemaName, tableName) + " is not created: ";
    for (std::size_t i = 0; i < unreadableColumns.size(); ++i) {
        if (i > 0) note += ", ";
        note += unreadableColumnText(*unreadableColumns[i]);
    }
    return oneLine(note + "; its rows are not written.");
}

std::string tableNotCreatedScriptText(std::string_view note) {
    return std::string(kRemark) + std::string(note) + std::string(kScriptTrailer);
}

std::string columnDefinition(const ColumnEntry& column, NationalCharset national) {
    return " " + quotedColumn(column.name) + typeSuffix(columnType(columnKind(column)), column, national);
}

std::string createTableStatement(std::string_view schemaName, std::string_view tableName,
                                 std::span<const ColumnEntry* const> columns, NationalCharset national) {
    std::vector<const ColumnEntry*> ordered(columns.begin(), columns.end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const ColumnEntry* a, const ColumnEntry* b) {
        return a->columnNumber < b->columnNumber;
    });
    std::string statement = "Create Table " + qualifiedTableName(schemaName, tableName) + "(";
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        if (i > 0) statement += ",";
        statement += columnDefinition(*ordered[i], national);
    }
    return statement + ");";
}

std::string createTableStatement(std::string_view schemaName, std::string_view tableName,
                                 std::span<const ColumnEntry> columns, NationalCharset national) {
    std::vector<const ColumnEntry*> pointers;
    pointers.reserve(columns.size());
    for (const ColumnEntry& column : columns) pointers.push_back(&column);
    return createTableStatement(schemaName, tableName, pointers, national);
}

std::string createTableScriptText(std::string_view schemaName, std::string_view tableName,
                                  std::span<const ColumnEntry* const> columns, NationalCharset national) {
    std::string statement = createTableStatement(schemaName, tableName, columns, national);
    breakBetweenColumns(statement, "\n");
    return withCrLf(statement) + std::string(kScriptTrailer);
}

}  // namespace restorix
