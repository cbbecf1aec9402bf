#pragma once
// The rows of the dictionary tables, column by column as each release stores
// them. Member rows of clustered tables leave out the cluster key column and
// carry a placeholder key index at byte 3 (the cluster filler sets it).

#include <string>

#include "tools/forge/block_builder.h"
#include "tools/forge/dictionary_objects.h"
#include "tools/forge/forge_plan.h"

namespace restorix::forge {

// Row flag bytes.
constexpr std::uint8_t kLiveRow = 0x2C;            // head, first, last
constexpr std::uint8_t kDeletedRow = 0x3C;         // the same, deleted
constexpr std::uint8_t kLiveMemberRow = 0x6C;      // cluster member
constexpr std::uint8_t kDeletedMemberRow = 0x7C;   // cluster member, deleted

// NUMBER column of an integer.
Column numberColumn(long long value);
// Text column: UTF-8 stored in the code page.
Column textColumn(std::string_view text);

class DictionaryRows {
public:
    // `created`: "YYYY-MM-DD HH:MI:SS", the date every object carries.
    DictionaryRows(Release release, const std::string& created);

    Release release() const { return release_; }
    const ReleaseLayout& layout() const { return layoutOf(release_); }

    // C_USER#: the key is the user number.
    Bytes userRow(const SchemaDef& user) const;
    Bytes objRow(const PlannedObject& object) const;
    // C_OBJ#: the key is the table's (or view's) object number.
    Bytes tabRow(const PlannedTable& table) const;
    // columnNumber: COL#, 0 for an unused column; internalNumber: INTCOL#;
    // segmentColumn: the column's place in the stored row (from 1), 0 for a
    // column that is not stored (a view's). A damaged column's COL$ values
    // replace those of its type.
    Bytes colRow(int columnNumber, int internalNumber, const ColumnDef& column, int segmentColumn, bool deleted) const;
    Bytes conRow(const PlannedConstraint& constraint) const;
    // C_COBJ#: the key is the constrained table's object number.
    Bytes cdefRow(const PlannedConstraint& constraint) const;
    Bytes ccolRow(const PlannedConstraint& constraint, std::size_t position) const;
    Bytes sourceRow(std::int32_t objectNumber, int line, std::string_view text, bool deleted = false) const;
    Bytes viewRow(const PlannedView& view) const;
    Bytes triggerRow(const PlannedTrigger& trigger) const;
    static Bytes propsRow(std::string_view name, std::string_view value, std::string_view comment);

private:
    Column date() const { return created_; }

    Release release_;
    Bytes created_;
};

}  // namespace restorix::forge
