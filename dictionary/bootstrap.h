#pragma once
// BOOTSTRAP$: the table in which a database keeps the CREATE statements of its
// core dictionary objects, and through which it finds its own dictionary when
// it starts. The SYSTEM file's header (block 1) holds the address of its
// segment header; its rows are in the blocks of the data object that follows.
// Each row's SQL_TEXT is written from one template:
//
//     CREATE TABLE OBJ$(...) ... STORAGE (  INITIAL ... OBJNO 18 EXTENTS (FILE 1 BLOCK 240))
//     CREATE TABLE USER$(...) ... STORAGE (  OBJNO 22 TABNO 1) CLUSTER C_USER#(USER#)
//
// For these core objects the data object number is the object number.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/block_index.h"
#include "datafile/block_source.h"
#include "dictionary/oracle_number.h"

namespace restorix {

// One core object as its SQL_TEXT creates it.
struct BootstrapObject {
    enum class Kind : std::uint8_t { Table, Cluster, Index, ClusteredTable };
    Kind kind = Kind::Table;
    std::string name;
    DictionaryNumber objectNumber = kNoNumber;  // OBJNO, also its data object number
    // An object with a segment: where its segment header is.
    std::uint32_t headerFile = 0;
    std::uint32_t headerBlock = 0;
    // A table stored in a cluster: the cluster, and the table's number in the
    // table directory of the cluster's blocks.
    std::string cluster;
    int tableNumber = 0;
};

// The object a SQL_TEXT creates; nothing for a text of another form (the
// version row, the CREATE UNIQUE INDEX texts, a damaged text). Case-sensitive,
// as the database writes them.
std::optional<BootstrapObject> parseBootstrapText(std::string_view text);

// What BOOTSTRAP$ says, and where it was found.
struct Bootstrap {
    std::uint32_t file = 0;   // the relative file number and block of its segment header
    std::uint32_t block = 0;
    std::int32_t dataObject = 0;
    std::vector<BootstrapObject> objects;

    const BootstrapObject* find(std::string_view name) const;
};

// BOOTSTRAP$ read from the root address in the SYSTEM file's header, or why it
// could not be: the reason reads after "no BOOTSTRAP$ found: ".
struct BootstrapSearch {
    std::optional<Bootstrap> bootstrap;
    std::string reason;
};
BootstrapSearch readBootstrap(const BlockSource& source, const BlockIndex& index, std::uint16_t systemFile);

}  // namespace restorix
