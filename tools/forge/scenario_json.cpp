// Loading a scenario from JSON (the format is described in scenario.h).

#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "tools/forge/scenario.h"

namespace restorix::forge {

namespace {

using nlohmann::json;

// Reads one JSON node; every fault names the path of the node.
class Node {
public:
    Node(const json& value, std::string path) : value_(value), path_(std::move(path)) {}

    [[noreturn]] void fail(const std::string& why) const { throw std::invalid_argument(path_ + ": " + why); }

    bool has(const char* key) const { return value_.is_object() && value_.contains(key) && !value_[key].is_null(); }
    Node operator[](const char* key) const {
        if (!value_.is_object() || !value_.contains(key)) fail(std::string("missing \"") + key + "\"");
        return {value_[key], path_ + "." + key};
    }
    std::vector<Node> items() const {
        if (!value_.is_array()) fail("expected an array");
        std::vector<Node> out;
        for (std::size_t i = 0; i < value_.size(); ++i) out.emplace_back(value_[i], path_ + "[" + std::to_string(i) + "]");
        return out;
    }
    std::vector<Node> itemsOf(const char* key) const { return has(key) ? (*this)[key].items() : std::vector<Node>{}; }

    std::string text() const {
        if (!value_.is_string()) fail("expected a string");
        return value_.get<std::string>();
    }
    std::string textOr(const char* key, std::string fallback) const { return has(key) ? (*this)[key].text() : fallback; }
    std::optional<std::string> optionalText(const char* key) const {
        return has(key) ? std::optional<std::string>((*this)[key].text()) : std::nullopt;
    }
    std::int64_t integer() const {
        if (!value_.is_number_integer()) fail("expected an integer");
        return value_.get<std::int64_t>();
    }
    std::optional<std::int32_t> optionalNumber(const char* key) const {
        if (!has(key)) return std::nullopt;
        const auto n = (*this)[key].integer();
        if (n < 0 || n > INT32_MAX) (*this)[key].fail("out of range");
        return static_cast<std::int32_t>(n);
    }
    bool flag(const char* key) const {
        if (!has(key)) return false;
        const json& v = value_[key];
        if (!v.is_boolean()) (*this)[key].fail("expected true or false");
        return v.get<bool>();
    }
    bool isString() const { return value_.is_string(); }
    bool isArray() const { return value_.is_array(); }
    bool isNull() const { return value_.is_null(); }
    bool isInteger() const { return value_.is_number_integer(); }
    const std::string& path() const { return path_; }

private:
    const json& value_;
    std::string path_;
};

ColumnType typeOf(const Node& node) {
    try {
        return parseColumnType(node.text());
    } catch (const std::invalid_argument& e) {
        node.fail(e.what());
    }
}

ColumnDef columnOf(const Node& node) {
    ColumnDef c;
    if (node.isString()) {  // a view column given by its name alone
        c.name = node.text();
        return c;
    }
    c.name = node["name"].text();
    if (node.has("type")) c.type = typeOf(node["type"]);
    c.notNull = node.flag("notNull");
    c.defaultText = node.optionalText("default");
    c.unused = node.flag("unused");
    if (node.has("damaged")) {
        const Node damaged = node["damaged"];
        CatalogDamage damage;
        if (damaged.has("type")) damage.typeNumber = damaged["type"].integer();
        if (damaged.has("length")) damage.length = damaged["length"].integer();
        if (damaged.has("precision")) damage.precision = damaged["precision"].integer();
        c.damaged = damage;
    }
    return c;
}

RowStorage storageOf(const Node& node) {
    const std::string s = node.text();
    if (s == "normal") return RowStorage::Normal;
    if (s == "deleted") return RowStorage::Deleted;
    if (s == "migrated") return RowStorage::Migrated;
    if (s == "chained") return RowStorage::Chained;
    if (s == "split-column") return RowStorage::SplitColumn;
    if (s == "broken-chain") return RowStorage::BrokenChain;
    if (s == "chain-loop") return RowStorage::ChainLoop;
    node.fail("storage is normal, deleted, migrated, chained, split-column, broken-chain or chain-loop");
}

RowDef rowOf(const Node& node) {
    RowDef row;
    const bool withOptions = !node.isArray();
    const Node values = withOptions ? node["values"] : node;
    for (const Node& v : values.items()) row.values.push_back(v.isNull() ? Value() : Value(v.text()));
    if (withOptions && node.has("storage")) row.storage = storageOf(node["storage"]);
    if (withOptions)
        for (const Node& v : node.itemsOf("extraValues")) row.extraValues.push_back(v.isNull() ? Value() : Value(v.text()));
    return row;
}

TableDef tableOf(const Node& node) {
    TableDef t;
    t.name = node["name"].text();
    t.objectNumber = node.optionalNumber("obj");
    t.dataObjectNumber = node.optionalNumber("dataObj");
    t.dropped = node.flag("dropped");
    for (const Node& c : node["columns"].items()) {
        ColumnDef column = columnOf(c);
        if (!c.has("type")) c.fail("a table column needs a type");
        t.columns.push_back(std::move(column));
    }
    for (const Node& r : node.itemsOf("rows")) t.rows.push_back(rowOf(r));
    for (const Node& r : node.itemsOf("staleRows")) t.staleRows.push_back(rowOf(r));
    return t;
}

ConstraintKind constraintKindOf(const Node& node) {
    const std::string s = node.text();
    if (s == "primary") return ConstraintKind::PrimaryKey;
    if (s == "unique") return ConstraintKind::Unique;
    if (s == "foreign") return ConstraintKind::ForeignKey;
    if (s == "check") return ConstraintKind::Check;
    if (s == "notnull") return ConstraintKind::NotNull;
    node.fail("type is primary, unique, foreign, check or notnull");
}

ConstraintDef constraintOf(const Node& node) {
    ConstraintDef c;
    c.name = node["name"].text();
    c.table = node["table"].text();
    c.kind = constraintKindOf(node["type"]);
    for (const Node& col : node.itemsOf("columns")) c.columns.push_back(col.text());
    c.condition = node.textOr("condition", "");
    c.number = node.optionalNumber("number");
    if (c.kind == ConstraintKind::ForeignKey) {
        const std::string ref = node["references"].text();
        const auto dot = ref.find('.');
        c.referencedSchema = dot == std::string::npos ? "" : ref.substr(0, dot);
        c.referencedConstraint = dot == std::string::npos ? ref : ref.substr(dot + 1);
    }
    return c;
}

ViewDef viewOf(const Node& node) {
    ViewDef v;
    v.name = node["name"].text();
    v.objectNumber = node.optionalNumber("obj");
    v.text = node["text"].text();
    for (const Node& c : node["columns"].items()) v.columns.push_back(columnOf(c));
    return v;
}

TriggerTiming timingOf(const Node& node) {
    if (node.isInteger()) {
        const auto n = node.integer();
        if (n < 0 || n > 4) node.fail("a trigger type is 0 to 4");
        return static_cast<TriggerTiming>(n);
    }
    const std::string s = node.text();
    if (s == "before statement") return TriggerTiming::BeforeStatement;
    if (s == "before each row") return TriggerTiming::BeforeEachRow;
    if (s == "after statement") return TriggerTiming::AfterStatement;
    if (s == "after each row") return TriggerTiming::AfterEachRow;
    if (s == "instead of") return TriggerTiming::InsteadOf;
    node.fail("unknown trigger timing");
}

TriggerDef triggerOf(const Node& node) {
    TriggerDef t;
    t.name = node["name"].text();
    t.objectNumber = node.optionalNumber("obj");
    t.timing = timingOf(node["timing"]);
    for (const Node& e : node.itemsOf("events")) {
        const std::string event = e.text();
        if (event == "insert") t.onInsert = true;
        else if (event == "update") t.onUpdate = true;
        else if (event == "delete") t.onDelete = true;
        else e.fail("an event is insert, update or delete");
    }
    const std::string table = node.textOr("table", "");
    const auto dot = table.find('.');
    t.tableSchema = dot == std::string::npos ? "" : table.substr(0, dot);
    t.table = dot == std::string::npos ? table : table.substr(dot + 1);
    t.definition = node.optionalText("definition");
    t.when = node.optionalText("when");
    t.body = node["body"].text();
    return t;
}

RoutineDef routineOf(const Node& node, bool isFunction) {
    RoutineDef r;
    r.name = node["name"].text();
    r.objectNumber = node.optionalNumber("obj");
    r.isFunction = isFunction;
    const Node source = node["source"];
    if (source.isArray()) {
        for (const Node& line : source.items()) r.lines.push_back(line.text());
    } else {
        r.lines = sourceLines(source.text());
    }
    return r;
}

SchemaDef schemaOf(const Node& node) {
    SchemaDef s;
    s.name = node["name"].text();
    const auto user = node["user"].integer();
    if (user < 0 || user > INT32_MAX) node["user"].fail("out of range");
    s.userNumber = static_cast<int>(user);
    s.role = node.flag("role");
    for (const Node& t : node.itemsOf("tables")) s.tables.push_back(tableOf(t));
    for (const Node& c : node.itemsOf("constraints")) s.constraints.push_back(constraintOf(c));
    for (const Node& v : node.itemsOf("views")) s.views.push_back(viewOf(v));
    for (const Node& t : node.itemsOf("triggers")) s.triggers.push_back(triggerOf(t));
    for (const Node& p : node.itemsOf("procedures")) s.routines.push_back(routineOf(p, false));
    for (const Node& f : node.itemsOf("functions")) s.routines.push_back(routineOf(f, true));
    return s;
}

}  // namespace

Scenario parseScenario(std::string_view jsonText) {
    json document;
    try {
        document = json::parse(jsonText);
    } catch (const json::parse_error& e) {
        throw std::invalid_argument(std::string("scenario is no valid JSON: ") + e.what());
    }
    const Node root(document, "$");
    Scenario scenario;
    scenario.created = root.textOr("created", scenario.created);
    scenario.firstObjectNumber = root.optionalNumber("firstObjectNumber").value_or(scenario.firstObjectNumber);
    scenario.firstConstraintNumber = root.optionalNumber("firstConstraintNumber").value_or(scenario.firstConstraintNumber);
    for (const Node& s : root["schemas"].items()) scenario.schemas.push_back(schemaOf(s));
    return scenario;
}

Scenario loadScenario(const std::string& jsonPath) {
    std::ifstream in(jsonPath, std::ios::binary);
    if (!in) throw std::invalid_argument("cannot open scenario " + jsonPath);
    std::ostringstream text;
    text << in.rdbuf();
    return parseScenario(text.str());
}

}  // namespace restorix::forge
