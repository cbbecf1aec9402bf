#include "tools/forge/forge.h"

#include <algorithm>
#include <set>
#include <stdexcept>

#include "platform/codepage.h"
#include "tools/forge/datafile_writer.h"
#include "tools/forge/dictionary_rows.h"
#include "tools/forge/filler_blocks.h"
#include "tools/forge/forge_plan.h"
#include "tools/forge/segment.h"
#include "tools/forge/table_rows.h"

namespace restorix::forge {

namespace {

// Blocks a segment gets per turn when the segments are laid out one extent
// after the other: small extents interleave even the few blocks of a small
// dictionary.
constexpr int kPropsExtent = 4;
constexpr int kDictionaryExtent = 1;
constexpr int kTableExtent = 2;

// Cluster keys per block: the clusters' sizing leaves room for a few keys
// each (well below the 19 a reader tracks per block).
constexpr int kUserKeysPerBlock = 12;
constexpr int kObjKeysPerBlock = 8;
constexpr int kCobjKeysPerBlock = 12;

// Free directory entries left by deletes, one per so many rows.
constexpr int kObjFreeSlotEvery = 13;
constexpr int kSourceFreeSlotEvery = 17;
constexpr int kColFreeSlotEvery = 29;

// Tables of the clusters, in their blocks' table directories.
constexpr int kKeyTable = 0;
constexpr int kUserTable = 1;
constexpr int kTabTable = 1;
constexpr int kColTable = 2;
constexpr int kCdefTable = 1;
constexpr int kCcolTable = 2;

struct LaidOutSegment {
    Segment segment;
    int extentBlocks;
};

Segment propsSegment(const WriteOptions& options, const std::string& releaseText, Release release) {
    Segment segment(kPropsObject, 1);
    HeapFiller filler(segment);
    filler.add(DictionaryRows::propsRow("DICT.BASE", "2", "dictionary base tables version #"));
    filler.add(DictionaryRows::propsRow("DEFAULT_TEMP_TABLESPACE", "TEMP", "Name of default temporary tablespace"));
    if (release != Release::V9)
        filler.add(DictionaryRows::propsRow("DEFAULT_PERMANENT_TABLESPACE", "USERS", "Name of default permanent tablespace"));
    filler.add(DictionaryRows::propsRow("DBTIMEZONE", "+00:00", "DB time zone"));
    filler.add(DictionaryRows::propsRow("NLS_LANGUAGE", "AMERICAN", "Language"));
    filler.add(DictionaryRows::propsRow("NLS_TERRITORY", "AMERICA", "Territory"));
    filler.add(DictionaryRows::propsRow("NLS_CHARACTERSET", options.characterSet, "Character set"));
    filler.add(DictionaryRows::propsRow("NLS_NCHAR_CHARACTERSET", options.ncharCharacterSet, "NCHAR Character set"));
    filler.add(DictionaryRows::propsRow("NLS_RDBMS_VERSION", releaseText, "RDBMS version for NLS parameters"));
    filler.add(DictionaryRows::propsRow("GLOBAL_DB_NAME", "ORCL", "Global database name"));
    filler.finish();
    return segment;
}

Segment userCluster(const ForgePlan& plan, const DictionaryRows& rows) {
    Segment segment(kUserClusterObject, 2);
    ClusterFiller filler(segment, kUserKeysPerBlock);
    for (const SchemaDef* user : plan.users) filler.addKey(numberColumn(user->userNumber), {{kUserTable, rows.userRow(*user)}});
    return segment;
}

Segment objSegment(const ForgePlan& plan, const DictionaryRows& rows) {
    Segment segment(kObjObject, 1);
    HeapFiller filler(segment, kObjFreeSlotEvery);
    for (const PlannedObject& object : plan.objects) filler.add(rows.objRow(object));
    filler.finish();
    return segment;
}

std::vector<const PlannedConstraint*> constraintsByNumber(const ForgePlan& plan) {
    std::vector<const PlannedConstraint*> out;
    for (const PlannedConstraint& c : plan.constraints) out.push_back(&c);
    std::stable_sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->number < b->number; });
    return out;
}

Segment conSegment(const ForgePlan& plan, const DictionaryRows& rows) {
    Segment segment(kConObject, 1);
    HeapFiller filler(segment);
    for (const PlannedConstraint* c : constraintsByNumber(plan)) filler.add(rows.conRow(*c));
    filler.finish();
    return segment;
}

// C_OBJ#: one key per table and view, in object number order; a table's key
// holds its TAB$ row and its COL$ rows, a view's key its COL$ rows.
Segment objCluster(const ForgePlan& plan, const DictionaryRows& rows) {
    struct Key {
        std::int32_t objectNumber;
        std::vector<ClusterFiller::Member> members;
    };
    std::vector<Key> keys;
    for (const PlannedTable& t : plan.tables) {
        Key key{t.objectNumber, {{kTabTable, rows.tabRow(t)}}};
        const std::vector<std::size_t> stored =
            storedColumnOrder(t.def->columns, [](const ColumnDef& c) { return c.type; });
        std::vector<int> segmentColumn(stored.size());
        for (std::size_t k = 0; k < stored.size(); ++k) segmentColumn[stored[k]] = static_cast<int>(k) + 1;
        for (std::size_t i = 0; i < t.def->columns.size(); ++i)
            key.members.push_back({kColTable, rows.colRow(declaredColumnNumber(t.def->columns, i), static_cast<int>(i) + 1,
                                                          t.def->columns[i], segmentColumn[i], t.def->dropped)});
        keys.push_back(std::move(key));
    }
    for (const PlannedView& v : plan.views) {
        Key key{v.objectNumber, {}};
        for (std::size_t i = 0; i < v.columns.size(); ++i)
            key.members.push_back(
                {kColTable, rows.colRow(static_cast<int>(i) + 1, static_cast<int>(i) + 1, v.columns[i], 0, false)});
        keys.push_back(std::move(key));
    }
    std::stable_sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) { return a.objectNumber < b.objectNumber; });

    Segment segment(kObjClusterObject, 3);
    ClusterFiller filler(segment, kObjKeysPerBlock, kColFreeSlotEvery);
    for (Key& key : keys) filler.addKey(numberColumn(key.objectNumber), std::move(key.members));
    return segment;
}

// C_COBJ#: one key per constrained table; its CDEF$ rows and CCOL$ rows.
Segment cobjCluster(const ForgePlan& plan, const DictionaryRows& rows) {
    std::map<std::int32_t, std::vector<ClusterFiller::Member>> byTable;
    for (const PlannedConstraint* c : constraintsByNumber(plan)) {
        auto& members = byTable[c->tableObject];
        members.push_back({kCdefTable, rows.cdefRow(*c)});
        for (std::size_t i = 0; i < c->columnNumbers.size(); ++i) members.push_back({kCcolTable, rows.ccolRow(*c, i)});
    }
    Segment segment(kCobjClusterObject, 3);
    ClusterFiller filler(segment, kCobjKeysPerBlock);
    for (auto& [table, members] : byTable) filler.addKey(numberColumn(table), std::move(members));
    return segment;
}

Segment sourceSegment(const ForgePlan& plan, const DictionaryRows& rows) {
    Segment segment(rows.layout().sourceObject, 1);
    HeapFiller filler(segment, kSourceFreeSlotEvery);
    for (const PlannedRoutine& r : plan.routines)
        for (std::size_t line = 0; line < r.def->lines.size(); ++line)
            filler.add(rows.sourceRow(r.objectNumber, static_cast<int>(line) + 1, r.def->lines[line]));
    filler.finish();
    return segment;
}

Segment viewSegment(const ForgePlan& plan, const DictionaryRows& rows) {
    Segment segment(rows.layout().viewObject, 1);
    HeapFiller filler(segment);
    for (const PlannedView& v : plan.views) filler.add(rows.viewRow(v));
    filler.finish();
    return segment;
}

Segment triggerSegment(const ForgePlan& plan, const DictionaryRows& rows) {
    Segment segment(rows.layout().triggerObject, 1);
    HeapFiller filler(segment);
    for (const PlannedTrigger& t : plan.triggers) filler.add(rows.triggerRow(t));
    filler.finish();
    return segment;
}

std::vector<LaidOutSegment> buildSegments(const ForgePlan& plan, const DictionaryRows& rows, const WriteOptions& options,
                                          const std::string& releaseText,
                                          const std::optional<std::int32_t>& bulkObject) {
    std::vector<LaidOutSegment> segments;
    segments.push_back({propsSegment(options, releaseText, rows.release()), kPropsExtent});
    segments.push_back({objCluster(plan, rows), kDictionaryExtent});
    segments.push_back({userCluster(plan, rows), kDictionaryExtent});
    segments.push_back({objSegment(plan, rows), kDictionaryExtent});
    segments.push_back({conSegment(plan, rows), kDictionaryExtent});
    segments.push_back({cobjCluster(plan, rows), kDictionaryExtent});
    segments.push_back({sourceSegment(plan, rows), kDictionaryExtent});
    segments.push_back({viewSegment(plan, rows), kDictionaryExtent});
    segments.push_back({triggerSegment(plan, rows), kDictionaryExtent});
    for (const PlannedTable& t : plan.tables) {
        if (options.segmentsElsewhere.contains(t.dataObjectNumber)) continue;
        if (!t.def->staleRows.empty())
            segments.push_back({tableSegment(t.objectNumber, *t.def, t.def->staleRows), kTableExtent});
        if (bulkObject == t.dataObjectNumber && t.def->rows.empty()) continue;  // written in bulk at the end
        segments.push_back({tableSegment(t.dataObjectNumber, *t.def, t.def->rows), kTableExtent});
    }
    return segments;
}

// Where each block goes: segments take turns, one extent at a time, the
// first extent of a segment behind its segment header block.
struct Placement {
    std::size_t segment;
    int block;  // -1: the segment header block
};

std::vector<Placement> layOut(const std::vector<LaidOutSegment>& segments) {
    std::vector<Placement> order;
    std::vector<int> placed(segments.size(), 0);
    bool any = true;
    while (any) {
        any = false;
        for (std::size_t s = 0; s < segments.size(); ++s) {
            const int total = segments[s].segment.blockCount();
            if (placed[s] >= total) continue;
            any = true;
            if (placed[s] == 0) order.push_back({s, -1});
            const int end = std::min(total, placed[s] + segments[s].extentBlocks);
            for (; placed[s] < end; ++placed[s]) order.push_back({s, placed[s]});
        }
    }
    return order;
}

std::set<std::int32_t> numbersInUse(const ForgePlan& plan) {
    std::set<std::int32_t> used;
    for (const PlannedObject& o : plan.objects) {
        used.insert(o.objectNumber);
        if (o.dataObjectNumber) used.insert(*o.dataObjectNumber);
    }
    return used;
}

void writeBulk(DatafileWriter& writer, const WriteOptions& options, const ForgePlan& plan, WriteSummary& summary) {
    const BulkTable& bulk = *options.bulkTable;
    const PlannedTable* table = plan.findTable(bulk.schema, bulk.table);
    if (!table) throw std::invalid_argument("bulk table " + bulk.schema + "." + bulk.table + " is not in the scenario");
    if (!bulk.rows) throw std::invalid_argument("bulk table without a row source");
    if (options.fileSize < writer.bytesWritten() + 2 * kBlockSize)
        throw std::invalid_argument("the file size leaves no room for the bulk table");
    writer.writeNonDataBlock(kSegmentHeaderBlockType);
    auto& blocks = summary.segmentBlocks[table->dataObjectNumber];
    Block block{};
    while (writer.bytesWritten() + kBlockSize <= options.fileSize) {
        const std::int64_t number = writer.nextBlockNumber();
        bulk.rows->fillBlock(summary.bulkBlocks++, table->dataObjectNumber, writer.addressOf(number), block);
        writer.writeBlock(block);
        blocks.push_back(number);
    }
}

// A database that stores UTF-8 keeps each text's UTF-8 bytes. The encoders
// write texts through the code page, which gives back byte for byte what it
// read: every text read as code-page bytes first comes out as its UTF-8 bytes.
void storeAsUtf8(std::string& text) { text = fromCodePage(text); }
void storeAsUtf8(std::optional<std::string>& text) {
    if (text) storeAsUtf8(*text);
}
void storeAsUtf8(ColumnDef& column);
void storeAsUtf8(TableDef& table);
void storeAsUtf8(ConstraintDef& constraint);
void storeAsUtf8(ViewDef& view);
void storeAsUtf8(TriggerDef& trigger);
void storeAsUtf8(RoutineDef& routine);
void storeAsUtf8(SchemaDef& schema);
template <typename Items>
void storeEachAsUtf8(Items& texts) {
    for (auto& text : texts) storeAsUtf8(text);
}
void storeAsUtf8(ColumnDef& column) {
    storeAsUtf8(column.name);
    storeAsUtf8(column.defaultText);
}
// NCHAR and NVARCHAR2 values are stored in the national character set
// whatever the database's: their characters stay as they are.
void storeAsUtf8(RowDef& row, const std::vector<ColumnDef>& columns) {
    for (std::size_t i = 0; i < row.values.size(); ++i)
        if (i >= columns.size() || !dictionaryType(columns[i].type).national) storeAsUtf8(row.values[i]);
}
void storeAsUtf8(TableDef& table) {
    storeAsUtf8(table.name);
    for (RowDef& row : table.rows) storeAsUtf8(row, table.columns);
    for (RowDef& row : table.staleRows) storeAsUtf8(row, table.columns);
    storeEachAsUtf8(table.columns);
}
void storeAsUtf8(ConstraintDef& constraint) {
    for (std::string* text : {&constraint.name, &constraint.table, &constraint.condition, &constraint.referencedSchema,
                              &constraint.referencedConstraint})
        storeAsUtf8(*text);
    storeEachAsUtf8(constraint.columns);
}
void storeAsUtf8(ViewDef& view) {
    storeAsUtf8(view.name);
    storeAsUtf8(view.text);
    storeEachAsUtf8(view.columns);
}
void storeAsUtf8(TriggerDef& trigger) {
    for (std::string* text : {&trigger.name, &trigger.tableSchema, &trigger.table, &trigger.body}) storeAsUtf8(*text);
    storeAsUtf8(trigger.definition);
    storeAsUtf8(trigger.when);
}
void storeAsUtf8(RoutineDef& routine) {
    storeAsUtf8(routine.name);
    storeEachAsUtf8(routine.lines);
}
void storeAsUtf8(SchemaDef& schema) {
    storeAsUtf8(schema.name);
    storeEachAsUtf8(schema.tables);
    storeEachAsUtf8(schema.constraints);
    storeEachAsUtf8(schema.views);
    storeEachAsUtf8(schema.triggers);
    storeEachAsUtf8(schema.routines);
}

bool storesUtf8(const WriteOptions& options) {
    return options.characterSet == "AL32UTF8" || options.characterSet == "UTF8";
}

}  // namespace

WriteSummary writeDatafile(const Scenario& scenario, const std::string& path, const WriteOptions& options) {
    const Release release = releaseFromNumber(options.release);
    const std::string releaseText = options.releaseText.value_or(defaultReleaseText(release));
    Scenario stored = scenario;
    if (storesUtf8(options)) storeEachAsUtf8(stored.schemas);
    const ForgePlan plan = planScenario(stored);
    const DictionaryRows rows(release, scenario.created);

    std::optional<std::int32_t> bulkObject;
    if (options.bulkTable) {
        if (const PlannedTable* t = plan.findTable(options.bulkTable->schema, options.bulkTable->table))
            bulkObject = t->dataObjectNumber;
    }
    const std::vector<LaidOutSegment> segments = buildSegments(plan, rows, options, releaseText, bulkObject);
    const std::vector<Placement> order = layOut(segments);

    FileHeader header;
    header.blockSizeField = options.headerBlockSize;
    header.databaseId = options.databaseId;
    header.tablespace = "SYSTEM";
    DatafileWriter writer(path, header);
    std::vector<std::vector<std::int64_t>> fileBlock(segments.size());
    for (std::size_t s = 0; s < segments.size(); ++s)
        fileBlock[s].resize(static_cast<std::size_t>(segments[s].segment.blockCount()));
    for (std::size_t i = 0; i < order.size(); ++i)
        if (order[i].block >= 0)
            fileBlock[order[i].segment][static_cast<std::size_t>(order[i].block)] = writer.nextBlockNumber() + static_cast<std::int64_t>(i);

    WriteSummary summary;
    for (const Placement& p : order) {
        if (p.block < 0) {
            writer.writeNonDataBlock(kSegmentHeaderBlockType);
            continue;
        }
        const auto& blockNumbers = fileBlock[p.segment];
        auto addressOf = [&](int block) { return writer.addressOf(blockNumbers[static_cast<std::size_t>(block)]); };
        summary.segmentBlocks[segments[p.segment].segment.dataObject()].push_back(writer.nextBlockNumber());
        writer.writeBlock(segments[p.segment].segment.build(p.block, addressOf));
    }

    if (options.bulkTable) {
        writeBulk(writer, options, plan, summary);
    } else if (options.fileSize > 0) {
        if (options.fileSize < writer.bytesWritten())
            throw std::invalid_argument("the scenario needs " + std::to_string(writer.bytesWritten()) +
                                        " bytes, more than the requested file size");
        FillerBlocks filler(numbersInUse(plan));
        filler.pad(writer, options.fileSize);
    }
    if (options.fileSize > writer.bytesWritten()) writer.writePartialBlock(options.fileSize - writer.bytesWritten());

    summary.blockCount = writer.nextBlockNumber();
    summary.fileSize = writer.bytesWritten();
    writer.close();
    return summary;
}

}  // namespace restorix::forge
