#include "tools/forge/bench_scenarios.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "tools/forge/block_builder.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/lcg.h"
#include "tools/forge/table_rows.h"

namespace restorix::forge {

namespace {

constexpr int kBenchSchemas = 20;
constexpr int kFirstBenchUser = 40;
constexpr int kTablesPerSchema = 70;
constexpr int kViewsPerSchema = 10;
constexpr int kProceduresPerSchema = 10;
constexpr int kFunctionsPerSchema = 5;
constexpr int kTriggersPerSchema = 5;
constexpr int kRowsPerTable = 2;

const char* const kColumnTypes[] = {"VARCHAR2(30)", "NUMBER(10,2)", "DATE",         "CHAR(4)",  "NUMBER",
                                    "VARCHAR2(200)", "TIMESTAMP(6)", "NUMBER(8)", "FLOAT(63)", "RAW(16)",
                                    "VARCHAR2(4000)", "TIMESTAMP(3) WITH TIME ZONE", "CLOB", "NUMBER(*,2)"};
const char* const kSampleValues[] = {"ALPHA",      "1234.56", "2009-06-15 08:30:00", "AB",  "42",
                                     "a longer description", "2010-01-02 03:04:05.123456", "99", "0.5", "0A0B0C",
                                     "text",       "2011-03-05 10:20:30.125 +02:00", "lob text", "7.25"};
constexpr int kTypeCount = static_cast<int>(sizeof kColumnTypes / sizeof kColumnTypes[0]);

std::string numbered(const char* prefix, int n, int width) {
    char text[32];
    std::snprintf(text, sizeof text, "%s%0*d", prefix, width, n);
    return text;
}

void addBenchTables(SchemaDef& schema, int schemaIndex) {
    for (int t = 1; t <= kTablesPerSchema; ++t) {
        const std::string name = numbered("T", t, 3);
        TableDef& table = schema.table(name);
        table.column("ID", "NUMBER(10)", true);
        const int extra = 9 + (t * 7 + schemaIndex) % 9;  // 10 to 18 columns in all
        for (int c = 0; c < extra; ++c) {
            const int type = (c + t + schemaIndex) % kTypeCount;
            table.column(numbered("C", c + 1, 2), kColumnTypes[type], c == 0);
        }
        for (int r = 1; r <= kRowsPerTable; ++r) {
            std::vector<Value> values{std::to_string(r)};
            for (int c = 0; c < extra; ++c) {
                const int type = (c + t + schemaIndex) % kTypeCount;
                values.push_back(c % 4 == 3 && c > 0 ? Value() : Value(kSampleValues[type]));
            }
            table.row(std::move(values));
        }
        schema.primaryKey(name + "_PK", name, {"ID"});
        if (t % 3 != 0 && t > 1) schema.foreignKey(name + "_FK", name, {"ID"}, "", numbered("T", t - 1, 3) + "_PK");
        if (t % 2 == 0) schema.check(name + "_CK", name, "ID > 0");
    }
    // One key across schemas per schema.
    if (schemaIndex > 0) schema.foreignKey("T070_XFK", "T070", {"ID"}, numbered("APP", 1, 2), "T001_PK");
}

void addBenchCode(SchemaDef& schema) {
    for (int v = 1; v <= kViewsPerSchema; ++v) {
        const std::string table = numbered("T", v, 3);
        schema.view(numbered("V", v, 3), "select ID, C01, C02, C03 from " + table, {"ID", "C01", "C02", "C03"});
    }
    for (int p = 1; p <= kProceduresPerSchema; ++p) {
        const std::string name = numbered("P", p, 3);
        schema.procedure(name, "PROCEDURE " + name + "(p_id NUMBER) IS\nBEGIN\n  DELETE FROM T001 WHERE ID = p_id;\n"
                                                     "  COMMIT;\nEND;\n");
    }
    for (int f = 1; f <= kFunctionsPerSchema; ++f) {
        const std::string name = numbered("F", f, 3);
        schema.function(name, "FUNCTION " + name + " RETURN NUMBER IS\n  n NUMBER;\nBEGIN\n"
                                                   "  SELECT COUNT(*) INTO n FROM T002;\n  RETURN n;\nEND;\n");
    }
    for (int g = 1; g <= kTriggersPerSchema; ++g) {
        TriggerDef& t = schema.trigger(numbered("TRG", g, 3), static_cast<TriggerTiming>(g % 4), numbered("T", g, 3),
                                       "begin\n  null;\nend;");
        t.onInsert = true;
        t.onUpdate = g % 2 == 0;
        t.onDelete = g % 3 == 0;
    }
}

// ---- BIG_TABLE ----

constexpr int kTemplateBlocks = 64;
constexpr int kMaxRowsPerBlock = 99;  // the last id digit numbers the row
constexpr std::int64_t kFirstIdPrefix = 10000;
constexpr std::int64_t kIdPrefixes = 990000;  // prefixes stay below 1,000,000
// In a live row: flag, lock, column count, the id's length byte, exponent.
constexpr int kIdDigitsOffset = 5;
constexpr int kDeletedRowEvery = 40;
// One live row in twenty is chained: its last piece elsewhere in the block.
constexpr int kChainedRowEvery = 20;
// In a chained head: the 9-byte header, the id's length byte, exponent.
constexpr int kChainedIdDigitsOffset = 11;
constexpr int kRowsPerNonAsciiName = 7;
constexpr std::string_view kNonAsciiName = "Ren\u00E9e M\u00FCller-\u00D8";  // UTF-8, as every forge value


// `count` random bytes as hexadecimal digits.
std::string hexBytes(Lcg& random, std::uint32_t count) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t byte = random.next(256);
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

TableDef bigTableDefinition() {
    TableDef t;
    t.name = "BIG_TABLE";
    t.column("ID", "NUMBER(12)", true)
        .column("NAME", "VARCHAR2(40)")
        .column("CREATED", "DATE")
        .column("UPDATED", "TIMESTAMP(6)")
        .column("CODE", "CHAR(8)")
        .column("AMOUNT", "NUMBER(12,2)")
        .column("NOTE", "VARCHAR2(60)")
        .column("RATIO", "FLOAT(63)")
        .column("TOKEN", "RAW(16)")
        .column("READING", "BINARY_DOUBLE");
    return t;
}

std::vector<Value> bigTableRow(Lcg& random, int row) {
    std::string name;
    const auto length = 20 + random.next(21);
    for (std::uint32_t i = 0; i < length; ++i) name += static_cast<char>((i == 0 ? 'A' : 'a') + random.next(26));
    // One name in seven has letters beyond ASCII, as real data has: the
    // code page's bytes E9, FC and D8 in the datafile.
    if (row % kRowsPerNonAsciiName == kRowsPerNonAsciiName - 1)
        name = std::string(kNonAsciiName) + name.substr(kNonAsciiName.size());
    char created[32], updated[40], code[16], amount[24], reading[32];
    std::snprintf(created, sizeof created, "%04u-%02u-%02u %02u:%02u:%02u", 1990 + random.next(30), 1 + random.next(12),
                  1 + random.next(28), random.next(24), random.next(60), random.next(60));
    std::snprintf(updated, sizeof updated, "%04u-%02u-%02u %02u:%02u:%02u.%06u", 2000 + random.next(20),
                  1 + random.next(12), 1 + random.next(28), random.next(24), random.next(60), random.next(60),
                  random.next(1000000));
    std::snprintf(code, sizeof code, "C%05u", random.next(100000));
    std::snprintf(amount, sizeof amount, "%u.%02u", random.next(1000000), random.next(100));
    // Both signs and a wide range of exponents: each stores its own byte order.
    std::snprintf(reading, sizeof reading, "%s%u.%03ue%d", random.next(3) == 0 ? "-" : "", random.next(1000),
                  random.next(1000), static_cast<int>(random.next(41)) - 20);
    return {
        std::to_string(kFirstIdPrefix * 100 + row + 1),  // patched per block
        name,
        created,
        updated,
        code,
        amount,
        row % 2 == 0 ? Value("note " + std::to_string(random.next(100000)) + " on account " + code) : Value(),
        row % 5 == 4 ? Value() : Value(std::to_string(random.next(1000)) + ".5"),
        hexBytes(random, 4 + random.next(13)),
        row % 11 == 10 ? Value() : Value(reading),
    };
}

class BigTableRows : public BulkRowSource {
public:
    explicit BigTableRows(const TableDef& table) {
        for (int b = 0; b < kTemplateBlocks; ++b) prepare(table, b);
    }

    void fillBlock(std::int64_t sequence, std::int32_t dataObject, std::uint32_t address, Block& block) override {
        const auto& prepared = templates_[static_cast<std::size_t>(sequence % kTemplateBlocks)];
        block = prepared.block;
        const std::int64_t prefix = kFirstIdPrefix + sequence % kIdPrefixes;
        const std::uint8_t digits[3] = {static_cast<std::uint8_t>(prefix / 10000 + 1),
                                        static_cast<std::uint8_t>(prefix / 100 % 100 + 1),
                                        static_cast<std::uint8_t>(prefix % 100 + 1)};
        for (int offset : prepared.idOffsets) std::memcpy(block.data() + offset, digits, sizeof digits);
        // A chained row's last piece is in this very block.
        for (const auto& [offset, slot] : prepared.chainAddresses) putRowAddress(block.data() + offset, address, slot);
        putU32LE(block.data() + kBlockAddressOffset, address);
        putU32LE(block.data() + kDataObjectOffset, static_cast<std::uint32_t>(dataObject));
    }

private:
    struct Prepared {
        Block block{};
        std::vector<int> idOffsets;
        // The heads' next-piece addresses: where each is, and its slot.
        std::vector<std::pair<int, std::uint16_t>> chainAddresses;
    };
    struct PlacedRow {
        int slot;
        int idDigitsOffset;  // from the piece
        std::optional<int> tailSlot;
    };

    // A chained row's pieces, the last one first: a head that does not fit
    // leaves a last piece that no head points at, which no reader takes for a row.
    static std::optional<PlacedRow> addChainedRow(DataBlockBuilder& builder, const std::vector<Column>& columns) {
        const std::size_t split = columns.size() / 2;
        const auto tail = builder.addRow(chainedTail(columns, split));
        if (!tail) return std::nullopt;
        const auto head = builder.addRow(chainedHead(columns, split));
        if (!head) return std::nullopt;
        return PlacedRow{*head, kChainedIdDigitsOffset, *tail};
    }

    void prepare(const TableDef& table, int index) {
        Lcg random(static_cast<std::uint32_t>(index) * 2654435761u + 1u);
        DataBlockBuilder builder(0, 0, index % 3 == 2 ? 3 : 2);
        Prepared prepared;
        std::vector<PlacedRow> placed;
        for (int row = 0; row < kMaxRowsPerBlock; ++row) {
            const RowDef def{bigTableRow(random, row), RowStorage::Normal};
            const std::vector<Column> columns = encodeRow(table, def, static_cast<std::size_t>(row));
            const bool deleted = row % kDeletedRowEvery == kDeletedRowEvery - 1;
            if (!deleted && ++liveRows_ % kChainedRowEvery == 0) {
                const auto chained = addChainedRow(builder, columns);
                if (!chained) break;
                placed.push_back(*chained);
                continue;
            }
            const auto slot = builder.addRow(makeRow(columns, deleted ? kDeletedRow : kLiveRow));
            if (!slot) break;
            placed.push_back({*slot, kIdDigitsOffset, std::nullopt});
        }
        prepared.block = builder.build();
        for (const PlacedRow& row : placed) {
            const int offset = *builder.pieceOffset(row.slot);
            prepared.idOffsets.push_back(offset + row.idDigitsOffset);
            if (!row.tailSlot) continue;
            // Written once the block has its place and so its address.
            prepared.chainAddresses.emplace_back(offset + kNextPieceAddressOffset,
                                                 static_cast<std::uint16_t>(*row.tailSlot));
        }
        templates_.push_back(std::move(prepared));
    }

    std::vector<Prepared> templates_;
    long liveRows_ = 0;  // over all templates
};

}  // namespace

void addBenchDictionary(Scenario& scenario) {
    for (int s = 0; s < kBenchSchemas; ++s) {
        SchemaDef& schema = scenario.user(numbered("APP", s + 1, 2), kFirstBenchUser + s);
        addBenchTables(schema, s);
        addBenchCode(schema);
    }
}

BulkTable addBenchTable(Scenario& scenario) {
    SchemaDef& schema = scenario.user("BENCH", 60);
    schema.tables.push_back(bigTableDefinition());
    schema.primaryKey("BIG_TABLE_PK", "BIG_TABLE", {"ID"});
    return {"BENCH", "BIG_TABLE", std::make_shared<BigTableRows>(schema.tables.back())};
}

}  // namespace restorix::forge
