#pragma once
// What the Preview's list shows for a selected tree node: a table's first
// rows, a procedure's or function's source with its header line, or the one
// statement of an index or constraint. Plain data, no window.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/catalog.h"
#include "dictionary/database.h"
#include "platform/job_control.h"
#include "preview/object_tree.h"

namespace restorix {

// Texts as they are shown: a database that stores UTF-8 has them as the
// characters their stored bytes spell (ReleaseInfo::shownText).
struct PreviewList {
    std::vector<std::string> headers;
    std::vector<std::vector<std::string>> rows;  // one cell per header
};

enum class PreviewJob { None, TableRows, Source, ConstraintDdl };

// Runs the preview of the node named `nodeText` under the category node
// `categoryText` (the category word, compared exactly) of the schema node
// `schemaText`. Views and triggers show nothing; so does a node whose object
// the catalog lacks. Table rows are read in preview mode, and so is
// procedure and function source, both stopped and paused by `control`.
PreviewList previewNode(const Database& database, const Catalog& catalog, JobControl& control,
                        std::string_view nodeText, std::string_view categoryText, std::string_view schemaText);

// Which job a selection runs; exposed so the windows can decide whether to
// show the wait box.
PreviewJob choosePreviewJob(const Catalog& catalog, std::string_view nodeText, std::string_view categoryText,
                            std::string_view schemaText);

// The texts of a node of the tree, as the tree holds them.
struct TreeNode {
    std::string schema;
    Category category = Category::Table;
    std::string name;
};

// The first node named `name` (ignoring case) under `category` of the first
// schema named `schema` (ignoring case); nothing when there is none.
std::optional<TreeNode> findTreeNode(const ObjectTree& tree, std::string_view schema, Category category,
                                     std::string_view name);

}  // namespace restorix
