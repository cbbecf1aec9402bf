#include "tools/forge/scenario.h"

#include <algorithm>

namespace restorix::forge {

TableDef& TableDef::column(std::string columnName, std::string_view type, bool notNull) {
    columns.push_back({std::move(columnName), parseColumnType(type), notNull, std::nullopt});
    return *this;
}

TableDef& TableDef::row(std::vector<Value> values, RowStorage storage) {
    rows.push_back({std::move(values), storage});
    return *this;
}

TableDef& SchemaDef::table(std::string tableName, std::optional<std::int32_t> objectNumber) {
    TableDef& t = tables.emplace_back();
    t.name = std::move(tableName);
    t.objectNumber = objectNumber;
    return t;
}

SchemaDef& SchemaDef::primaryKey(std::string constraintName, std::string tableName, std::vector<std::string> cols) {
    constraints.push_back({std::move(constraintName), std::move(tableName), ConstraintKind::PrimaryKey, std::move(cols),
                           "", "", "", std::nullopt});
    return *this;
}

SchemaDef& SchemaDef::unique(std::string constraintName, std::string tableName, std::vector<std::string> cols) {
    constraints.push_back({std::move(constraintName), std::move(tableName), ConstraintKind::Unique, std::move(cols), "",
                           "", "", std::nullopt});
    return *this;
}

SchemaDef& SchemaDef::foreignKey(std::string constraintName, std::string tableName, std::vector<std::string> cols,
                                 std::string referencedSchema, std::string referencedConstraint) {
    constraints.push_back({std::move(constraintName), std::move(tableName), ConstraintKind::ForeignKey, std::move(cols),
                           "", std::move(referencedSchema), std::move(referencedConstraint), std::nullopt});
    return *this;
}

SchemaDef& SchemaDef::check(std::string constraintName, std::string tableName, std::string condition) {
    constraints.push_back({std::move(constraintName), std::move(tableName), ConstraintKind::Check, {},
                           std::move(condition), "", "", std::nullopt});
    return *this;
}

ViewDef& SchemaDef::view(std::string viewName, std::string text, std::vector<std::string> columnNames) {
    ViewDef& v = views.emplace_back();
    v.name = std::move(viewName);
    v.text = std::move(text);
    for (auto& name : columnNames) v.columns.push_back({std::move(name), {}, false, std::nullopt});
    return v;
}

TriggerDef& SchemaDef::trigger(std::string triggerName, TriggerTiming timing, std::string tableName, std::string body) {
    TriggerDef& t = triggers.emplace_back();
    t.name = std::move(triggerName);
    t.timing = timing;
    t.table = std::move(tableName);
    t.body = std::move(body);
    return t;
}

RoutineDef& SchemaDef::procedure(std::string routineName, std::string source) {
    return routines.emplace_back(RoutineDef{std::move(routineName), std::nullopt, false, sourceLines(source)});
}

RoutineDef& SchemaDef::function(std::string routineName, std::string source) {
    return routines.emplace_back(RoutineDef{std::move(routineName), std::nullopt, true, sourceLines(source)});
}

SchemaDef& Scenario::user(std::string name, int userNumber) {
    SchemaDef& s = schemas.emplace_back();
    s.name = std::move(name);
    s.userNumber = userNumber;
    return s;
}

SchemaDef& Scenario::role(std::string name, int userNumber) {
    SchemaDef& s = user(std::move(name), userNumber);
    s.role = true;
    return s;
}

SchemaDef* Scenario::findSchema(std::string_view name) {
    auto it = std::find_if(schemas.begin(), schemas.end(), [&](const SchemaDef& s) { return s.name == name; });
    return it == schemas.end() ? nullptr : &*it;
}

const SchemaDef* Scenario::findSchema(std::string_view name) const {
    return const_cast<Scenario*>(this)->findSchema(name);
}

int declaredColumnNumber(const std::vector<ColumnDef>& columns, std::size_t index) {
    if (columns.at(index).unused) return 0;
    const auto declared = std::count_if(columns.begin(), columns.begin() + static_cast<std::ptrdiff_t>(index) + 1,
                                        [](const ColumnDef& column) { return !column.unused; });
    return static_cast<int>(declared);
}

std::vector<std::string> sourceLines(std::string_view source) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < source.size()) {
        const auto feed = source.find('\n', start);
        const auto end = feed == std::string_view::npos ? source.size() : feed + 1;
        lines.emplace_back(source.substr(start, end - start));
        start = end;
    }
    return lines;
}

}  // namespace restorix::forge
