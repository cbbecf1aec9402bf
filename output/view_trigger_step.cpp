#include "output/view_trigger_step.h"

#include <algorithm>
#include <variant>
#include <vector>

#include "output/batch_files.h"
#include "output/sql_names.h"

namespace restorix {
namespace {

constexpr std::string_view kDatabaseTarget = "Database";

// A base object of none or 0: the trigger is on the database.
bool isNone(DictionaryNumber number) { return number <= 0; }

int countObjectsOfType(const Catalog& catalog, int type) {
    return static_cast<int>(std::count_if(catalog.objectList.begin(), catalog.objectList.end(),
                                          [type](const ObjectEntry& o) { return o.type() == type; }));
}

// The step's state for one run.
class CodeWriter {
public:
    CodeWriter(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output)
        : analysed_(analysed),
          state_(state),
          output_(output),
          viewsPath_(output.path(kViewsScriptPath)),
          triggersPath_(output.path(kTriggersScriptPath)),
          viewObjects_(countObjectsOfType(analysed.catalog, kView)),
          triggerObjects_(countObjectsOfType(analysed.catalog, kTrigger)) {}

    // The rows in the order the blocks held them.
    void run() {
        for (const CodeRow& row : analysed_.catalog.codeRows) {
            output_.checkpoint();
            if (const ViewRow* view = std::get_if<ViewRow>(&row)) writeView(*view);
            if (const TriggerRow* trigger = std::get_if<TriggerRow>(&row)) writeTrigger(*trigger);
        }
    }

private:
    void writeView(const ViewRow& row) {
        std::string viewName;
        const std::optional<std::string> text = viewStatementOf(analysed_.catalog, analysed_.options, row, viewName);
        if (!text) return;
        output_.append(viewsPath_, *text);
        if (output_.noteWrittenName("view", viewName, sqlName(viewName))) ++state_.namesChangedOutsideTables;
        ProgressSink& sink = state_.sink();
        sink.setTableName(analysed_.database.release.shownText(viewName));
        sink.setFilePath(viewsPath_.string());
        ++state_.viewsWritten;
        sink.setCurrentProgress(SavingState::percent(state_.viewsWritten, viewObjects_));
        state_.countOverallUnit();
    }

    void writeTrigger(const TriggerRow& row) {
        const std::optional<TriggerDefinition> trigger = triggerDefinitionOf(analysed_.catalog, analysed_.options, row);
        if (!trigger) return;
        state_.currentTable = trigger->target ? trigger->target->name : std::string(kDatabaseTarget);
        const std::optional<std::string> text = triggerScriptText(*trigger);
        if (!text) return;
        ProgressSink& sink = state_.sink();
        sink.setTableName(analysed_.database.release.shownText(trigger->triggerName));
        sink.setFilePath(triggersPath_.string());
        ++state_.triggersWritten;
        sink.setCurrentProgress(SavingState::percent(state_.triggersWritten, triggerObjects_));
        state_.countOverallUnit();
        output_.append(triggersPath_, *text);
        if (output_.noteWrittenName("trigger", trigger->triggerName, sqlName(trigger->triggerName))) ++state_.namesChangedOutsideTables;
    }

    AnalysedDatabase analysed_;
    SavingState& state_;
    ScriptOutput& output_;
    std::filesystem::path viewsPath_;
    std::filesystem::path triggersPath_;
    int viewObjects_;
    int triggerObjects_;
};

}  // namespace

std::optional<std::string> viewStatementOf(const Catalog& catalog, const RecoveryOptions& options, const ViewRow& row,
                                           std::string& viewName) {
    const ObjectEntry* view = catalog.findObject(row.objNumber);
    if (!view || !options.keepsOwner(view->owner())) return std::nullopt;
    // A view whose owner has no schema entry has no name to be created under.
    const SchemaEntry* schema = catalog.ownerOf(*view);
    if (!schema) return std::nullopt;
    if (static_cast<int>(catalog.columnsOf(view->objNumber).size()) < row.columnCount) return std::nullopt;
    viewName = view->name;
    return viewScriptText(schema->name, view->name, row.text);
}

std::optional<TriggerDefinition> triggerDefinitionOf(const Catalog& catalog, const RecoveryOptions& options,
                                                     const TriggerRow& row) {
    const ObjectEntry* object = catalog.findObject(row.objNumber);
    if (!object || !options.keepsOwner(object->owner())) return std::nullopt;
    const SchemaEntry* schema = catalog.ownerOf(*object);
    if (!schema) return std::nullopt;

    TriggerDefinition trigger;
    trigger.schemaName = schema->name;
    trigger.triggerName = object->name;
    trigger.triggerType = row.triggerType;
    trigger.insertEvent = row.insertEvent == 1;
    trigger.updateEvent = row.updateEvent == 1;
    trigger.deleteEvent = row.deleteEvent == 1;
    if (!isNone(row.baseObject)) {
        const ObjectEntry* base = catalog.findObject(row.baseObject);
        if (!base) return std::nullopt;
        TriggerDefinition::Target target;
        target.name = base->name;
        if (const SchemaEntry* baseSchema = catalog.ownerOf(*base)) {
            target.schemaName = baseSchema->name;
        }
        trigger.target = std::move(target);
    }
    trigger.definition = row.definition;
    trigger.whenClause = row.whenClause;
    trigger.body = row.body;
    return trigger;
}

void writeViewsAndTriggers(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output) {
    CodeWriter(analysed, state, output).run();
}

}  // namespace restorix
