#include "tools/forge/dictionary_rows.h"

#include <algorithm>

#include <cstdio>
#include <stdexcept>

#include "platform/codepage.h"
#include "tools/forge/oracle_values.h"

namespace restorix::forge {

namespace {

constexpr std::uint8_t kKeyIndexPlaceholder = 0;

// OBJ$ NAMESPACE values.
constexpr int kTableNamespace = 1;
constexpr int kTriggerNamespace = 3;
constexpr int kIndexNamespace = 4;

// Character set of the character columns (WE8MSWIN1252), implicit form.
constexpr int kCharacterSetId = 178;
constexpr int kImplicitCharacterSetForm = 1;
// Character set of the national character columns (AL16UTF16), national form.
constexpr int kNationalCharacterSetId = 2000;
constexpr int kNationalCharacterSetForm = 2;

// COL$ PROPERTY of a SET UNUSED column: unused (0x8000) and hidden (0x20).
constexpr long long kUnusedColumnProperty = 0x8000 | 0x20;
// COL$ SEGCOLLENGTH of a LOB column: the in-row locator's room.
constexpr int kLobSegmentLength = 86;

// The audit option text of a table or view: no option set.
const std::string kNoAudit(38, '-');

const Column kNull = std::nullopt;

Column optionalNumber(const std::optional<int>& value) {
    return value ? numberColumn(*value) : kNull;
}

Column optionalText(const std::optional<std::string>& value) {
    return value ? textColumn(*value) : kNull;
}

int namespaceOf(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Trigger: return kTriggerNamespace;
        case ObjectKind::Index: return kIndexNamespace;
        default: return kTableNamespace;
    }
}

// A stand-in for a password hash: 16 hexadecimal digits, the same for the same name.
std::string passwordHash(std::string_view name, int digits) {
    std::uint64_t hash = 14695981039346656037ull;
    std::string out;
    while (static_cast<int>(out.size()) < digits) {
        for (char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 1099511628211ull;
        char chunk[17];
        std::snprintf(chunk, sizeof chunk, "%016llX", static_cast<unsigned long long>(hash));
        out += chunk;
    }
    out.resize(static_cast<std::size_t>(digits));
    return out;
}

void expectColumns(const std::vector<Column>& columns, int expected, const char* table) {
    if (static_cast<int>(columns.size()) != expected)
        throw std::logic_error(std::string(table) + " row with " + std::to_string(columns.size()) + " columns, expected " +
                               std::to_string(expected));
}

// Pads a row of fixed leading columns with `filler` up to one column short
// of `count`, then appends `last`: the LONG column that the row stores last.
void padThenLast(std::vector<Column>& columns, int count, const Column& filler, const Column& last) {
    while (static_cast<int>(columns.size()) < count - 1) columns.push_back(filler);
    columns.push_back(last);
}

}  // namespace

Column numberColumn(long long value) { return encodeNumber(std::to_string(value)); }

Column textColumn(std::string_view text) {
    const std::string bytes = toCodePage(text);
    return Bytes(bytes.begin(), bytes.end());
}

DictionaryRows::DictionaryRows(Release release, const std::string& created)
    : release_(release), created_(encodeValue(parseColumnType("DATE"), created)) {}

Bytes DictionaryRows::userRow(const SchemaDef& user) const {
    const bool isUser = !user.role;
    std::vector<Column> c{
        textColumn(user.name),
        numberColumn(isUser ? 1 : 0),                         // TYPE#
        isUser ? textColumn(passwordHash(user.name, 16)) : kNull,  // PASSWORD
        numberColumn(isUser && user.userNumber != 0 ? 4 : 0),  // DATATS#
        numberColumn(isUser ? 3 : 0),                         // TEMPTS#
        date(),                                               // CTIME
        isUser ? date() : kNull,                              // PTIME
        kNull,                                                // EXPTIME
        kNull,                                                // LTIME
        numberColumn(0),                                      // RESOURCE$
        kNull,                                                // AUDIT$
        numberColumn(1),                                      // DEFROLE
        kNull,                                                // DEFGRP#
        kNull,                                                // DEFGRP_SEQ#
        numberColumn(0),                                      // ASTATUS
        numberColumn(0),                                      // LCOUNT
        textColumn("DEFAULT_CONSUMER_GROUP"),                 // DEFSCHCLASS
    };
    if (release_ != Release::V9) {
        c.push_back(kNull);            // EXT_USERNAME
        c.push_back(numberColumn(0));  // SPARE1
    }
    if (release_ == Release::V11) {
        c.push_back(kNull);                                          // SPARE2
        c.push_back(kNull);                                          // SPARE3
        c.push_back(textColumn("S:" + passwordHash(user.name, 60)));  // SPARE4: the newer hash
    }
    expectColumns(c, layout().userColumns, "USER$");
    return makeClusterMemberRow(kKeyIndexPlaceholder, c, kLiveMemberRow);
}

Bytes DictionaryRows::objRow(const PlannedObject& object) const {
    const bool hasSegment = object.kind == ObjectKind::Table || object.kind == ObjectKind::Index;
    std::vector<Column> c{
        numberColumn(object.objectNumber),
        hasSegment && object.dataObjectNumber ? numberColumn(*object.dataObjectNumber) : kNull,
        numberColumn(object.owner),
        textColumn(object.name),
        numberColumn(namespaceOf(object.kind)),
        kNull,  // SUBNAME
        numberColumn(static_cast<int>(object.kind)),
        date(), date(), date(),  // CTIME, MTIME, STIME
        numberColumn(1),         // STATUS: valid
        kNull, kNull,            // REMOTEOWNER, LINKNAME
        numberColumn(0),         // FLAGS
        kNull,                   // OID$
        numberColumn(6),         // SPARE1
        numberColumn(1),         // SPARE2
    };
    if (release_ != Release::V9) c.push_back(numberColumn(object.owner));  // SPARE3
    expectColumns(c, layout().objColumns, "OBJ$");
    return makeRow(c, object.deleted ? kDeletedRow : kLiveRow);
}

Bytes DictionaryRows::tabRow(const PlannedTable& table) const {
    // COLS counts the declared columns; INTCOLS and KERNELCOLS the unused ones too.
    const auto columns = static_cast<long long>(std::count_if(table.def->columns.begin(), table.def->columns.end(),
                                                              [](const ColumnDef& c) { return !c.unused; }));
    const auto internalColumns = static_cast<long long>(table.def->columns.size());
    const auto rows = static_cast<long long>(table.def->rows.size());
    const std::vector<Column> c{
        numberColumn(table.dataObjectNumber),
        numberColumn(0), numberColumn(1), numberColumn(0),  // TS#, FILE#, BLOCK#
        kNull, kNull,                                       // BOBJ#, TAB#
        numberColumn(columns),                              // COLS
        kNull,                                              // CLUCOLS
        numberColumn(10), numberColumn(40), numberColumn(1), numberColumn(255),  // PCTFREE$ .. MAXTRANS
        numberColumn(1),                                    // FLAGS
        textColumn(kNoAudit),                               // AUDIT$
        numberColumn(rows),                                 // ROWCNT
        kNull, numberColumn(0), numberColumn(0), numberColumn(0), numberColumn(0),  // BLKCNT .. AVGRLN
        kNull, kNull,                                       // AVGSPC_FLB, FLBCNT
        date(),                                             // ANALYZETIME
        numberColumn(rows),                                 // SAMPLESIZE
        kNull, kNull,                                       // DEGREE, INSTANCES
        numberColumn(internalColumns), numberColumn(internalColumns),  // INTCOLS, KERNELCOLS
        numberColumn(0), numberColumn(0),                   // PROPERTY, TRIGFLAG
        numberColumn(736),                                  // SPARE1
        kNull, kNull, kNull, kNull,                         // SPARE2 .. SPARE5
        date(),                                             // SPARE6
    };
    return makeClusterMemberRow(kKeyIndexPlaceholder, c, table.def->dropped ? kDeletedMemberRow : kLiveMemberRow);
}

Bytes DictionaryRows::colRow(int columnNumber, int internalNumber, const ColumnDef& column, int segmentColumn,
                            bool deleted) const {
    const DictionaryType t = dictionaryType(column.type);
    const bool isLob = column.type.kind == TypeKind::Clob || column.type.kind == TypeKind::Blob;
    const CatalogDamage damage = column.damaged.value_or(CatalogDamage{});
    std::vector<Column> c{
        numberColumn(columnNumber),                               // COL#
        numberColumn(segmentColumn),                              // SEGCOL#
        numberColumn(isLob ? kLobSegmentLength : t.length),       // SEGCOLLENGTH
        numberColumn(0),                                          // OFFSET
        textColumn(column.name),                                  // NAME
        numberColumn(damage.typeNumber.value_or(t.typeNumber)),   // TYPE#
        numberColumn(damage.length.value_or(t.length)),           // LENGTH
        numberColumn(0),                                          // FIXEDSTORAGE
        damage.precision ? numberColumn(*damage.precision) : optionalNumber(t.precision),  // PRECISION#
        optionalNumber(t.scale),                                  // SCALE
        numberColumn(column.notNull ? 1 : 0),                     // NULL$
        column.defaultText ? numberColumn(static_cast<long long>(column.defaultText->size())) : kNull,  // DEFLENGTH
        numberColumn(internalNumber),                             // INTCOL#
        numberColumn(column.unused ? kUnusedColumnProperty : 0),  // PROPERTY
        numberColumn(!t.characterData ? 0 : t.national ? kNationalCharacterSetId : kCharacterSetId),  // CHARSETID
        numberColumn(!t.characterData ? 0 : t.national ? kNationalCharacterSetForm : kImplicitCharacterSetForm),  // CHARSETFORM
        numberColumn(0), numberColumn(0), numberColumn(0),        // SPARE1 .. SPARE3
    };
    // SPARE4 .. SPARE6 (release 11), then DEFAULT$, a LONG, stored last.
    padThenLast(c, layout().colColumns, kNull, optionalText(column.defaultText));
    expectColumns(c, layout().colColumns, "COL$");
    return makeClusterMemberRow(kKeyIndexPlaceholder, c, deleted ? kDeletedMemberRow : kLiveMemberRow);
}

Bytes DictionaryRows::conRow(const PlannedConstraint& constraint) const {
    return makeRow({numberColumn(constraint.owner), textColumn(constraint.name), numberColumn(constraint.number)},
                   constraint.deleted ? kDeletedRow : kLiveRow);
}

Bytes DictionaryRows::cdefRow(const PlannedConstraint& constraint) const {
    const bool foreign = constraint.kind == ConstraintKind::ForeignKey;
    const bool hasCondition = !constraint.condition.empty();
    const auto columns = static_cast<long long>(constraint.columnNumbers.size());
    std::vector<Column> c{
        numberColumn(constraint.number),                                   // CON#
        columns ? numberColumn(columns) : kNull,                           // COLS
        numberColumn(static_cast<int>(constraint.kind)),                   // TYPE#
        foreign ? numberColumn(constraint.referencedObject) : kNull,       // ROBJ#
        foreign ? numberColumn(constraint.referencedConstraint) : kNull,   // RCON#
        kNull,                                                             // RRULES
        foreign ? numberColumn(0) : kNull,                                 // MATCH#
        foreign ? numberColumn(0) : kNull,                                 // REFACT
        numberColumn(1),                                                   // ENABLED
        hasCondition ? numberColumn(static_cast<long long>(constraint.condition.size())) : kNull,  // CONDLENGTH
        columns ? numberColumn(columns) : kNull,                           // INTCOLS
        date(),                                                            // MTIME
        numberColumn(0),                                                   // DEFER
        numberColumn(0),                                                   // SPARE1
    };
    // SPARE2 .. SPARE6 (not release 9), then CONDITION, a LONG, stored last.
    padThenLast(c, layout().cdefColumns, kNull, hasCondition ? textColumn(constraint.condition) : kNull);
    expectColumns(c, layout().cdefColumns, "CDEF$");
    return makeClusterMemberRow(kKeyIndexPlaceholder, c, constraint.deleted ? kDeletedMemberRow : kLiveMemberRow);
}

Bytes DictionaryRows::ccolRow(const PlannedConstraint& constraint, std::size_t position) const {
    const bool keyed = constraint.kind == ConstraintKind::PrimaryKey || constraint.kind == ConstraintKind::Unique ||
                       constraint.kind == ConstraintKind::ForeignKey;
    const int column = constraint.columnNumbers.at(position);
    std::vector<Column> c{
        numberColumn(constraint.number),
        numberColumn(column),
        keyed ? numberColumn(static_cast<long long>(position) + 1) : kNull,  // POS#
        numberColumn(column),                                               // INTCOL#
    };
    if (release_ != Release::V9) c.push_back(numberColumn(0));  // SPARE1
    expectColumns(c, layout().ccolColumns, "CCOL$");
    return makeClusterMemberRow(kKeyIndexPlaceholder, c, constraint.deleted ? kDeletedMemberRow : kLiveMemberRow);
}

Bytes DictionaryRows::sourceRow(std::int32_t objectNumber, int line, std::string_view text, bool deleted) const {
    return makeRow({numberColumn(objectNumber), numberColumn(line), textColumn(text)}, deleted ? kDeletedRow : kLiveRow);
}

Bytes DictionaryRows::viewRow(const PlannedView& view) const {
    const auto columns = static_cast<long long>(view.columns.size());
    const Column text = textColumn(view.def->text);
    const std::vector<Column> c{
        numberColumn(view.objectNumber),
        textColumn(kNoAudit),                                    // AUDIT$
        numberColumn(columns),                                   // COLS
        numberColumn(columns),                                   // INTCOLS
        numberColumn(0),                                         // PROPERTY
        numberColumn(0),                                         // FLAGS
        numberColumn(static_cast<long long>(text->size())),      // TEXTLENGTH
        text,                                                    // TEXT
    };
    expectColumns(c, kViewColumns, "VIEW$");
    return makeRow(c, kLiveRow);
}

Bytes DictionaryRows::triggerRow(const PlannedTrigger& trigger) const {
    const TriggerDef& t = *trigger.def;
    auto event = [](bool on) { return numberColumn(on ? 1 : 0); };
    std::vector<Column> c{
        numberColumn(trigger.objectNumber),
        numberColumn(static_cast<int>(t.timing)),  // TYPE#
        event(t.onUpdate),                         // UPDATE$
        event(t.onInsert),                         // INSERT$
        event(t.onDelete),                         // DELETE$
        numberColumn(trigger.baseObject),          // BASEOBJECT, 0 for none
        textColumn("OLD"),                         // REFOLDNAME
        textColumn("NEW"),                         // REFNEWNAME
        textColumn(trigger.definition),            // DEFINITION
        optionalText(t.when),                      // WHENCLAUSE
        numberColumn(static_cast<long long>(t.body.size())),  // ACTIONSIZE
        numberColumn(1),                           // ENABLED
        numberColumn(0),                           // PROPERTY
        numberColumn(trigger.baseObject ? 0 : 8),  // SYS_EVTS: logon for a database trigger
        numberColumn(0), numberColumn(0),          // NTTRIGCOL, NTTRIGATT
        textColumn("PARENT"),                      // REFPRTNAME
        numberColumn(1),                           // ACTIONLINENO
    };
    // TRIGFLAGS and SPARE1 .. SPARE3 (release 11), then ACTION#, a LONG, stored last.
    padThenLast(c, layout().triggerColumns, numberColumn(0), textColumn(t.body));
    expectColumns(c, layout().triggerColumns, "TRIGGER$");
    return makeRow(c, kLiveRow);
}

Bytes DictionaryRows::propsRow(std::string_view name, std::string_view value, std::string_view comment) {
    return makeRow({textColumn(name), textColumn(value), textColumn(comment)}, kLiveRow);
}

}  // namespace restorix::forge
