// restorix inspect DATAFILE: runs the analysis and prints the recovered tree and
// the database summary, as text or as one JSON document.

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "dictionary/analysis_job.h"
#include "preview/object_tree.h"

namespace restorix::cli {
namespace {

struct InspectArguments {
    std::vector<std::string> datafiles;
    std::string schemas = "users";
    bool json = false;
};

void printTree(const ObjectTree& tree) {
    std::cout << terminalText(tree.root) << '\n';
    for (const SchemaNode& schema : tree.schemas) {
        std::cout << "  " << terminalText(schema.name) << '\n';
        for (std::size_t c = 0; c < kCategoryNames.size(); ++c) {
            std::cout << "    " << kCategoryNames[c] << '\n';
            for (const std::string& node : schema.categories[c]) std::cout << "      " << terminalText(node) << '\n';
        }
    }
}

nlohmann::ordered_json schemaJson(const SchemaNode& schema) {
    nlohmann::ordered_json categories = nlohmann::ordered_json::object();
    for (std::size_t c = 0; c < kCategoryNames.size(); ++c) {
        categories[std::string(kCategoryNames[c])] = schema.categories[c];
    }
    return {{"name", schema.name},
            {"categories", categories},
            {"summary",
             {{"Table", schema.stats.tables},
              {"View", schema.stats.views},
              {"Trigger", schema.stats.triggers},
              {"Procedure", schema.stats.procedures},
              {"Function", schema.stats.functions}}}};
}

nlohmann::ordered_json treeJson(const Database& database, const Catalog& catalog, const ObjectTree& tree) {
    nlohmann::ordered_json schemas = nlohmann::ordered_json::array();
    for (const SchemaNode& schema : tree.schemas) schemas.push_back(schemaJson(schema));
    const DatabaseTotals& t = tree.totals;
    return {{"version", database.release.releaseText},
            {"source", tree.root},
            {"schemas", schemas},
            {"summary",
             {{"Schema", t.schemas},
              {"Table", t.tables},
              {"View", t.views},
              {"Trigger", t.triggers},
              {"Procedure", t.procedures},
              {"Function", t.functions}}},
            {"partial", catalog.partial},
            {"dictionaryBlocksNotRead", catalog.dictionaryBlocksNotRead}};
}

int runInspect(const InspectArguments& args) {
    CommandSession session;
    Recovery recovery;
    if (int code = analyzeDatafiles(session, recovery, args.datafiles, parseSchemasOption(args.schemas));
        code != kSuccess) {
        return code;
    }
    ObjectTree tree = buildObjectTree(recovery.catalog, recovery.database.sourcePath);
    if (recovery.database.release.storesUtf8()) showStoredUtf8Names(tree);
    if (args.json) {
        // Names that are no valid UTF-8 cannot come from the code page, but be safe.
        std::cout << treeJson(recovery.database, recovery.catalog, tree)
                         .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                  << '\n';
        return kSuccess;
    }
    std::cout << "Oracle Version:" << terminalText(recovery.database.release.releaseText) << '\n';
    printTree(tree);
    for (const std::string& line : showDatabaseSummary(tree.totals)) std::cout << line << '\n';
    // The tree may lack what those blocks held.
    if (recovery.catalog.dictionaryBlocksNotRead > 0)
        std::cout << dictionaryBlocksNotReadText(recovery.catalog.dictionaryBlocksNotRead) << '\n';
    return kSuccess;
}

}  // namespace

void addInspectCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<InspectArguments>();
    CLI::App* command = app.add_subcommand("inspect", "Run the analysis and print the recovered tree and summary");
    command->add_option("DATAFILE", args->datafiles, "The SYSTEM datafile (.dbf) and any other datafiles of the database")->required();
    command->add_option("--schemas", args->schemas, "sys, users (default) or all")
        ->check(CLI::IsMember({"sys", "users", "all"}));
    command->add_flag("--json", args->json, "Print one JSON document");
    command->callback([args, &exitCode] { exitCode = runInspect(*args); });
}

}  // namespace restorix::cli
