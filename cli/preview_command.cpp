// restorix preview DATAFILE --object SCHEMA.NAME: runs the analysis and prints
// what the Preview's list shows for one node of the tree, tab-separated.

#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "platform/codepage.h"
#include "preview/object_tree.h"
#include "preview/preview_jobs.h"

namespace restorix::cli {
namespace {

struct PreviewArguments {
    std::vector<std::string> datafiles;
    std::string schemas = "users";
    std::string object;
    std::string category = std::string(categoryName(Category::Table));
};

Category categoryFromName(const std::string& text) {
    for (std::size_t c = 0; c < kCategoryNames.size(); ++c) {
        if (kCategoryNames[c] == text) return static_cast<Category>(c);
    }
    return Category::Table;
}

// A cell on one line: tab, line feed, carriage return and backslash escaped
// as C does, any other control character as the terminal shows it.
std::string escapedCell(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return terminalText(out);
}

void printLine(const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        if (i > 0) line += '\t';
        line += escapedCell(cells[i]);
    }
    line += '\n';
    std::cout << line;
}

void printList(const PreviewList& list) {
    if (list.headers.empty() && list.rows.empty()) return;
    printLine(list.headers);
    for (const auto& row : list.rows) printLine(row);
    std::cout.flush();
}

int runPreview(const PreviewArguments& args) {
    const std::size_t dot = args.object.find('.');
    if (dot == std::string::npos) {
        printError("--object must be SCHEMA.NAME");
        return kUsageError;
    }
    std::string schemaName = args.object.substr(0, dot);
    std::string objectName = args.object.substr(dot + 1);
    const Category category = categoryFromName(args.category);

    CommandSession session;
    Recovery recovery;
    if (int code = analyzeDatafiles(session, recovery, args.datafiles, parseSchemasOption(args.schemas));
        code != kSuccess) {
        return code;
    }
    if (recovery.database.release.storesUtf8()) {
        // The names typed are UTF-8; the catalog holds their bytes as read
        // through the code page.
        schemaName = fromCodePage(schemaName);
        objectName = fromCodePage(objectName);
    }
    const ObjectTree tree = buildObjectTree(recovery.catalog, recovery.database.sourcePath);
    const std::optional<TreeNode> node = findTreeNode(tree, schemaName, category, objectName);
    if (!node) {
        printError("not found");
        return kObjectNotFound;
    }

    PreviewList list;
    {
        // Ctrl-C while the rows or the source are read: the analysis' stop flag.
        const InterruptGuard::Scope scope =
            session.interrupt.onInterrupt([&] { recovery.analysisControl.requestStop(); });
        list = previewNode(recovery.database, recovery.catalog, recovery.analysisControl, node->name,
                           categoryName(node->category), node->schema);
    }
    if (session.interrupt.interrupted()) return session.interrupt.exitCode();
    printList(list);
    return kSuccess;
}

}  // namespace

void addPreviewCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<PreviewArguments>();
    CLI::App* command =
        app.add_subcommand("preview", "Run the analysis and print what the Preview shows for one object");
    command->add_option("DATAFILE", args->datafiles, "The SYSTEM datafile (.dbf) and any other datafiles of the database")->required();
    command->add_option("--schemas", args->schemas, "sys, users (default) or all")
        ->check(CLI::IsMember({"sys", "users", "all"}));
    command->add_option("--object", args->object, "SCHEMA.NAME of the node")->required();
    command
        ->add_option("--category", args->category,
                     "Table (default), View, Trigger, Procedure, Function, Index or Constraints")
        ->check(CLI::IsMember({"Table", "View", "Trigger", "Procedure", "Function", "Index", "Constraints"}));
    command->callback([args, &exitCode] { exitCode = runPreview(*args); });
}

}  // namespace restorix::cli
