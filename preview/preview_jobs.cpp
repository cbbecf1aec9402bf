#include "preview/preview_jobs.h"

#include <algorithm>

#include "dictionary/dictionary_decoder.h"
#include "output/code_statements.h"
#include "output/constraint_statements.h"
#include "tabledata/row_reader.h"

namespace restorix {

namespace {

constexpr std::string_view kProcedureHeader = "DDL FOR PROCEDURE";
constexpr std::string_view kFunctionHeader = "DDL FOR FUNCTION";
constexpr std::int32_t kFirstSourceLine = 1;

// The objects a selection names in its schema: the first table, and the
// first procedure or function (where the walk ends).
struct Selection {
    const ObjectEntry* table = nullptr;
    const ObjectEntry* routine = nullptr;
};

bool isRoutine(const ObjectEntry& object) { return object.type() == kProcedure || object.type() == kFunction; }

Selection findSelection(const Catalog& catalog, std::string_view nodeText, std::string_view schemaText) {
    Selection found;
    const SchemaEntry* schema = catalog.findSchemaByName(schemaText);
    if (schema == nullptr) return found;
    for (const ObjectEntry& object : catalog.objectList) {
        if (!ownedBy(object, *schema)) continue;
        if (!equalsIgnoringAsciiCase(object.name, nodeText)) continue;
        if (object.type() == kTable && found.table == nullptr) found.table = &object;
        if (isRoutine(object)) {
            found.routine = &object;
            break;
        }
    }
    return found;
}

PreviewJob jobFor(const Selection& selection, std::string_view categoryText) {
    if (categoryText == categoryName(Category::Trigger) || categoryText == categoryName(Category::View))
        return PreviewJob::None;
    if (categoryText == categoryName(Category::Table))
        return selection.table ? PreviewJob::TableRows : PreviewJob::None;
    if (selection.routine) return PreviewJob::Source;
    if (categoryText == categoryName(Category::Index) || categoryText == categoryName(Category::Constraints))
        return PreviewJob::ConstraintDdl;
    return PreviewJob::None;
}

// Column headers in ascending column number, the order of the stored values,
// whatever order the dictionary rows came in.
std::vector<std::string> tableHeaders(const Catalog& catalog, const ObjectEntry& table) {
    std::vector<const ColumnEntry*> columns = catalog.columnsOf(table.objNumber);
    std::stable_sort(columns.begin(), columns.end(),
                     [](const ColumnEntry* a, const ColumnEntry* b) { return a->number() < b->number(); });
    std::vector<std::string> headers;
    headers.reserve(columns.size());
    for (const ColumnEntry* column : columns) headers.push_back(column->name);
    return headers;
}

// A value as it is shown. Text in the database's character set was read
// through the code page and shows the characters its stored bytes spell;
// NCHAR and NVARCHAR2 text is decoded from the national character set
// already, and reading it through the code page again would turn every
// character the code page lacks into '?'.
std::string shownValue(const ReleaseInfo& release, const RowValue& value) {
    return value.kind == ValueKind::NationalText ? value.text : release.shownText(value.text);
}

// Lays the table's values out row by row, each row taking as many values as
// the first value's column count (at least one).
std::vector<std::vector<std::string>> tableRows(const ReleaseInfo& release, const RowList& rowList,
                                                std::int32_t objectNumber, std::size_t cellsPerRow) {
    std::vector<std::vector<std::string>> rows;
    std::size_t valuesPerRow = 0;
    std::size_t nextCell = 0;
    for (const RowValue& value : rowList) {
        if (value.objectNumber != objectNumber || value.objectNumber <= 0) continue;
        if (valuesPerRow == 0) valuesPerRow = std::max<std::size_t>(value.columnCount, 1);
        if (nextCell == 0) rows.emplace_back(std::max(cellsPerRow, valuesPerRow));
        rows.back()[nextCell] = shownValue(release, value);
        nextCell = (nextCell + 1) % valuesPerRow;
    }
    return rows;
}

PreviewList previewTableRows(const Database& database, const Catalog& catalog, JobControl& control,
                             const ObjectEntry& table) {
    PreviewList list;
    list.headers = tableHeaders(catalog, table);
    for (std::string& header : list.headers) header = database.release.shownText(header);
    RowList rowList;
    readTableRows(database, catalog, table.objectNumber, rowList, control);
    list.rows = tableRows(database.release, rowList, table.objectNumber, list.headers.size());
    return list;
}

PreviewList previewSource(const Database& database, JobControl& control, const ObjectEntry& routine,
                          std::string_view schemaText) {
    PreviewList list;
    const DictionaryNumber object[] = {routine.objNumber};
    // The preview's reading stops with the preview's control, as its table rows do.
    const std::optional<StoredSource> source = readStoredSource(database, object, control);
    if (!source || source->of(routine.objNumber).empty()) return list;

    std::vector<const SourceLineEntry*> lines;
    for (const SourceLineEntry& line : source->of(routine.objNumber).lines()) lines.push_back(&line);
    std::stable_sort(lines.begin(), lines.end(), [](const SourceLineEntry* a, const SourceLineEntry* b) {
        return a->lineNumber < b->lineNumber;
    });

    const bool isProcedure = routine.type() == kProcedure;
    const StoredCodeKind kind = isProcedure ? StoredCodeKind::Procedure : StoredCodeKind::Function;
    list.headers.emplace_back(isProcedure ? kProcedureHeader : kFunctionHeader);
    for (const SourceLineEntry* line : lines) {
        // The header line replaces the first line; without a line 1 there is none.
        list.rows.push_back({database.release.shownText(line->lineNumber == kFirstSourceLine
                                                            ? storedCodeHeaderLine(kind, schemaText, line->text)
                                                            : line->text)});
    }
    return list;
}

PreviewList previewConstraint(const Database& database, const Catalog& catalog, std::string_view nodeText,
                              std::string_view schemaText) {
    PreviewList list;
    if (const auto preview = constraintPreview(catalog, schemaText, nodeText)) {
        list.headers.push_back(preview->header);
        list.rows.push_back({database.release.shownText(preview->statement)});
    }
    return list;
}

}  // namespace

PreviewJob choosePreviewJob(const Catalog& catalog, std::string_view nodeText, std::string_view categoryText,
                            std::string_view schemaText) {
    return jobFor(findSelection(catalog, nodeText, schemaText), categoryText);
}

PreviewList previewNode(const Database& database, const Catalog& catalog, JobControl& control,
                        std::string_view nodeText, std::string_view categoryText, std::string_view schemaText) {
    const Selection selection = findSelection(catalog, nodeText, schemaText);
    switch (jobFor(selection, categoryText)) {
        case PreviewJob::TableRows: return previewTableRows(database, catalog, control, *selection.table);
        case PreviewJob::Source: return previewSource(database, control, *selection.routine, schemaText);
        case PreviewJob::ConstraintDdl: return previewConstraint(database, catalog, nodeText, schemaText);
        case PreviewJob::None: break;
    }
    return {};
}

std::optional<TreeNode> findTreeNode(const ObjectTree& tree, std::string_view schema, Category category,
                                     std::string_view name) {
    const auto schemaNode = std::find_if(tree.schemas.begin(), tree.schemas.end(), [&](const SchemaNode& node) {
        return equalsIgnoringAsciiCase(node.name, schema);
    });
    if (schemaNode == tree.schemas.end()) return std::nullopt;
    const std::vector<std::string>& nodes = schemaNode->nodes(category);
    const auto node = std::find_if(nodes.begin(), nodes.end(),
                                   [&](const std::string& text) { return equalsIgnoringAsciiCase(text, name); });
    if (node == nodes.end()) return std::nullopt;
    return TreeNode{schemaNode->name, category, *node};
}

}  // namespace restorix
