#include "output/saving_job.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "dictionary/analysis_job.h"
#include "dictionary/dictionary_decoder.h"
#include "output/output_files.h"
#include "output/script_names.h"
#include "output/shell_files.h"
#include "output/sqlplus_lines.h"
#include "output/statements.h"
#include "output/view_trigger_step.h"
#include "activitylog/log_lines.h"
#include "tabledata/data_script_writer.h"
#include "tabledata/row_reader.h"
#include "tabledata/national_text.h"

namespace restorix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsersFolder = "Users";
constexpr std::string_view kIndexFolder = "Index";
constexpr std::string_view kConstraintsFolder = "Constraints";
constexpr std::string_view kProceduresFolder = "Procedures";
constexpr std::string_view kTriggersFolder = "Triggers";
constexpr std::string_view kViewsFolder = "Views";
constexpr std::string_view kIndexLabel = "Index";
constexpr std::string_view kConstraintsLabel = "Constraints";
// A data script ends with this directly after the last "Commit;" line.
constexpr std::string_view kDataScriptEnd = "Exit;";
// What the data script of a table that is not created holds before it.
constexpr std::string_view kNoRowsRemark = "REM The table is not created (see its Create Table script): no rows.\r\n";
// The steps as INCOMPLETE.txt names them.
constexpr std::string_view kUsersStep = "Users and Import.bat";
constexpr std::string_view kCreateTableStep = "Create Table scripts";
constexpr std::string_view kDataStep = "data scripts";
constexpr std::string_view kIndexStep = "Index and Constraints scripts";
constexpr std::string_view kCodeStep = "Views, Triggers and Procedures scripts";


// Units of the overall bar: one per view and per trigger, two per table.
int overallUnitsOf(const Catalog& catalog) {
    int units = 0;
    for (const ObjectEntry& object : catalog.objectList) {
        if (object.type() == kView || object.type() == kTrigger) units += 1;
        if (object.type() == kTable) units += 2;
    }
    return units;
}

// Every step of one save, in the order the output is made.
class SavingSteps {
public:
    SavingSteps(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output, const SavingSetup& setup,
                const ScriptNames& names)
        : analysed_(analysed), catalog_(analysed.catalog), state_(state), output_(output), setup_(setup),
          names_(names) {}

    // Commit.bat and commit.sh list a script only once the script is complete,
    // so that a save that ends early leaves them replaying whole scripts.
    void run() {
        sink().setSkipEnabled(false);
        // Made before the save; when it could not be, this says why.
        output_.createFolder(output_.root());
        output_.startReplay(analysed_.database.release.characterSet);
        writeUsersAndImport();
        for (const SchemaEntry& schema : catalog_.schemaList) writeSchemaTables(schema);
        writeIndexesAndConstraints();
        at(kCodeStep);
        writeViewsAndTriggers(analysed_, state_, output_);
        output_.append(output_.path(kTriggersScriptPath), kScriptTrailer);
        output_.append(output_.path(kViewsScriptPath), kScriptTrailer);
        writeProceduresAndFunctions();
        output_.append(output_.path(kProceduresScriptPath), kScriptTrailer);
        output_.replay(codeScriptsReplay());
        releaseRowList(rowList_);
    }

    // Tables whose rows were not read keep the count of their changed names
    // here; it goes to the totals once the save ends, however it ends.
    ~SavingSteps() {
        for (const auto& entry : tableNamesChanged_) state_.namesChangedOutsideTables += entry.second;
    }

    // Where the save is: its step and the table or object being written.
    std::string_view step() const { return step_; }
    const std::string& object() const { return object_; }
    // One line per table not created, for the log and the messages.
    const std::vector<std::string>& tableWarnings() const { return tableWarnings_; }

private:
    void at(std::string_view step, std::string object = {}) {
        step_ = step;
        object_ = std::move(object);
    }

    ProgressSink& sink() { return state_.sink(); }

    // --- Users, Import.bat and the empty code scripts ---------------------------

    void writeUsersAndImport() {
        at(kUsersStep);
        state_.overallTotal = overallUnitsOf(catalog_);
        const fs::path usersScript = output_.path(kUsersScriptPath);
        output_.createFolder(output_.root() / kUsersFolder);
        output_.createSqlScript(usersScript);
        const fs::path importBat = output_.root() / kImportBatName;
        output_.createScript(importBat);
        for (const SchemaEntry& schema : catalog_.schemaList) {
            output_.append(usersScript, usersScriptBlock(schema.name));
            countNameOutsideTables("schema", schema.name);
        }
        output_.append(usersScript, kScriptTrailer);
        output_.replay(usersReplay());
        output_.createScript(importBat);
        output_.append(importBat, importBatText(setup_.oracleBinFolder));
        output_.createExecutable(output_.root() / kImportShName, importShText());
        createEmptyCodeScript(kProceduresFolder, kProceduresScriptPath);
        createEmptyCodeScript(kTriggersFolder, kTriggersScriptPath);
        createEmptyCodeScript(kViewsFolder, kViewsScriptPath);
    }

    void createEmptyCodeScript(std::string_view folder, std::string_view script) {
        output_.createFolder(output_.root() / folder);
        const fs::path path = output_.path(script);
        sink().setFilePath(path.string());
        output_.createSqlScript(path);
    }

    // --- Names the scripts write changed (see hasControlCharacter) -------------

    void countNameOutsideTables(std::string_view kind, std::string_view name) {
        if (output_.noteWrittenName(kind, name, sqlName(name))) ++state_.namesChangedOutsideTables;
    }

    // The table's own name and its columns' names, counted for its account.
    void countTableNames(const ObjectEntry& table, const std::vector<const ColumnEntry*>& columns) {
        long changed = output_.noteWrittenName("table", table.name, tableSqlName(table.name)) ? 1 : 0;
        for (const ColumnEntry* column : columns)
            changed += output_.noteWrittenName("column", column->name, quotedColumn(column->name)) ? 1 : 0;
        if (changed > 0) tableNamesChanged_[table.objNumber] += changed;
    }

    long takeTableNameCount(DictionaryNumber table) {
        const auto found = tableNamesChanged_.find(table);
        if (found == tableNamesChanged_.end()) return 0;
        const long changed = found->second;
        tableNamesChanged_.erase(found);
        return changed;
    }

    // A name as it is shown.
    std::string shown(std::string_view name) const { return analysed_.database.release.shownText(name); }

    // --- One schema's Create Table and data scripts -----------------------------

    void writeSchemaTables(const SchemaEntry& schema) {
        at(kCreateTableStep, schema.name);
        output_.checkpoint();
        const fs::path createFolder = output_.root() / names_.createFolder(schema);
        output_.createFolder(createFolder);
        sink().setFilePath(createFolder.string());
        writeCreateTableScripts(schema);
        if (state_.noTablesInSchema) {
            state_.noTablesInSchema = false;
            return;
        }
        const fs::path dataFolder = output_.root() / names_.dataFolder(schema);
        sink().setTableName(shown(schema.name));
        sink().setFilePath(dataFolder.string());
        output_.createFolder(dataFolder);
        state_.ddlPhase = false;
        writeDataScripts(schema);
        state_.dataPhase = false;
        state_.tableInProgress = false;
        sink().setSkipEnabled(false);
    }

    void writeCreateTableScripts(const SchemaEntry& schema) {
        const std::string& schemaName = schema.name;
        state_.ddlPhase = true;
        state_.currentSchema = schemaName;
        const int tables = static_cast<int>(std::count_if(catalog_.objectList.begin(), catalog_.objectList.end(),
                                                          [&](const ObjectEntry& o) { return isTableOf(o, schema); }));
        if (tables == 0) {
            state_.noTablesInSchema = true;
            sink().setCurrentProgress(100);
            state_.countOverallUnit();
            return;
        }
        int written = 0;
        for (const ObjectEntry& object : catalog_.objectList) {
            output_.checkpoint();
            if (!isTableOf(object, schema)) continue;
            const std::string relativePath = names_.createTableScript(schema, object);
            const fs::path script = output_.path(relativePath);
            at(kCreateTableStep, qualifiedTableName(schemaName, object.name));
            sink().setTableName(shown(createTableForm(object.name)));
            sink().setFilePath(script.string());
            output_.createSqlScript(script);
            countTableNames(object, catalog_.columnsOf(object.objNumber));
            const std::vector<const ColumnEntry*> unreadable = catalog_.unreadableColumnsOf(object.objNumber);
            const std::string text = unreadable.empty() ? createTableText(schemaName, object)
                                                        : tableNotCreatedText(schemaName, object, unreadable);
            ++written;
            sink().setCurrentProgress(SavingState::percent(written, tables));
            state_.countOverallUnit();
            output_.append(script, text);
            // A script that creates nothing is not replayed.
            if (unreadable.empty()) output_.replay(tableScriptReplay(relativePath));
        }
    }

    std::string createTableText(const std::string& schemaName, const ObjectEntry& table) const {
        return createTableScriptText(schemaName, table.name, catalog_.columnsOf(table.objNumber),
                                     nationalCharsetNamed(analysed_.database.release.ncharCharacterSet));
    }

    // A table with a COL$ row that cannot be read is not created: a table
    // missing a column, or declaring one wrongly, would take its rows into
    // the wrong columns. Its script says why, and so do the log and the
    // messages at the end of the save.
    std::string tableNotCreatedText(const std::string& schemaName, const ObjectEntry& table,
                                    const std::vector<const ColumnEntry*>& unreadable) {
        std::string note = tableNotCreatedNote(schemaName, table.name, unreadable);
        std::string text = tableNotCreatedScriptText(note);
        tableWarnings_.push_back(std::move(note));
        return text;
    }

    void writeDataScripts(const SchemaEntry& schema) {
        at(kDataStep, schema.name);
        state_.dataPhase = true;
        state_.currentSchema = schema.name;
        output_.checkpoint();
        for (const ObjectEntry& object : catalog_.objectList) {
            output_.checkpoint();
            state_.tableInProgress = false;
            if (!isTableOf(object, schema)) continue;
            if (!writeDataScript(schema, object)) return;
        }
    }

    // One table's rows; false when the recovery option ends the schema's data step.
    bool writeDataScript(const SchemaEntry& schema, const ObjectEntry& table) {
        const std::string& schemaName = schema.name;
        // A Skip answered for an earlier table that had no rows to read is not this table's.
        state_.skipRequested = false;
        state_.tableInProgress = true;
        sink().setSkipEnabled(true);
        state_.currentTable = createTableForm(table.name);
        state_.qualifiedTable = qualifiedTableName(schemaName, table.name);
        at(kDataStep, state_.qualifiedTable);
        sink().setTableName(shown(table.name));
        const std::string relativePath = names_.dataScript(schema, table);
        state_.currentDataFile = output_.path(relativePath);
        sink().setFilePath(state_.currentDataFile.string());
        const int objectNumber = table.objectNumber;
        releaseRowList(rowList_);
        // An object number too large to decode names no table: no data for it.
        if (objectNumber < 0) return true;
        if (!tableDataWanted(analysed_.options, objectNumber, table.owner())) return false;
        output_.appendCreating(state_.currentDataFile, kSqlScriptHead);
        RowCounts counts = readTableRows(analysed_.database, catalog_, objectNumber, rowList_, state_);
        counts.namesChanged = takeTableNameCount(table.objNumber);
        counts.scriptNamesChanged = names_.scriptNamesChanged(schema, table) ? 1 : 0;
        state_.tableAccounts.push_back({schemaName, table.name, counts});
        if (counts.columnsUnreadable > 0) {
            // The rows were counted, not written: nothing to replay.
            output_.appendCreating(state_.currentDataFile, std::string(kNoRowsRemark) + std::string(kDataScriptEnd));
            return true;
        }
        output_.appendCreating(state_.currentDataFile, kDataScriptEnd);
        output_.replay(tableScriptReplay(relativePath));
        return true;
    }

    // --- Index\Index.sql and Constraints\Constraints.sql ------------------------

    void writeIndexesAndConstraints() {
        at(kIndexStep);
        output_.checkpoint();
        const fs::path indexScript = output_.path(kIndexScriptPath);
        const fs::path constraintsScript = output_.path(kConstraintsScriptPath);
        output_.createFolder(output_.root() / kIndexFolder);
        output_.createSqlScript(indexScript);
        output_.createFolder(output_.root() / kConstraintsFolder);
        output_.createSqlScript(constraintsScript);
        for (const SchemaEntry& schema : catalog_.schemaList) {
            output_.checkpoint();
            state_.showOverallProgress();
            for (const ObjectEntry& object : catalog_.objectList) {
                if (!isTableOf(object, schema)) continue;
                writeTableConstraints(schema.name, object, indexScript, constraintsScript);
            }
        }
        output_.append(constraintsScript, kScriptTrailer);
        output_.append(indexScript, kScriptTrailer);
        output_.replay(indexReplay());
        output_.replay(constraintsReplay());
    }

    void writeTableConstraints(const std::string& schemaName, const ObjectEntry& table, const fs::path& indexScript,
                               const fs::path& constraintsScript) {
        at(kIndexStep, qualifiedTableName(schemaName, table.name));
        int written = 0;
        for (const ConstraintDefEntry* def : catalog_.constraintDefsOf(table.objNumber)) {
            output_.checkpoint();
            const ConstraintScriptTexts texts = constraintScriptTexts(catalog_, schemaName, table.name, *def);
            if (texts.indexText.empty() && texts.constraintText.empty()) continue;
            const bool index = !texts.indexText.empty();
            sink().setTableName(index ? kIndexLabel : kConstraintsLabel);
            sink().setFilePath((index ? indexScript : constraintsScript).string());
            ++written;
            // Two statements move the bar by one point, as the windows always showed it.
            sink().setCurrentProgress(written / 2);
            if (def->conType != kCheckConstraint && def->conType != kNotNullCheck) {
                if (const ConstraintNameEntry* name = catalog_.findConstraintName(def->conNumber))
                    countNameOutsideTables("constraint", name->name);
            }
            if (index) output_.append(indexScript, texts.indexText);
            if (!texts.constraintText.empty()) output_.append(constraintsScript, texts.constraintText);
        }
        sink().setCurrentProgress(100);
    }

    // --- Procedures\Procedures.sql ----------------------------------------------

    void writeProceduresAndFunctions() {
        // The analysis read the source: the step's bar is full at once.
        sink().setFilePath(output_.path(kProceduresScriptPath).string());
        sink().setCurrentProgress(100);
        const StoredSource& source = catalog_.storedSource;
        for (const SchemaEntry& schema : catalog_.schemaList) {
            output_.checkpoint();
            for (const ObjectEntry& object : catalog_.objectList) {
                if (!ownedBy(object, schema) || !isStoredCode(object)) continue;
                const StoredCodeKind kind =
                    object.type() == kProcedure ? StoredCodeKind::Procedure : StoredCodeKind::Function;
                writeStoredCode(kind, schema.name, object, source.of(object.objNumber));
            }
        }
    }

    void writeStoredCode(StoredCodeKind kind, const std::string& schemaName, const ObjectEntry& object,
                         const SourceLines& lines) {
        const fs::path script = output_.path(kProceduresScriptPath);
        at(kCodeStep, qualifiedTableName(schemaName, object.name));
        output_.checkpoint();
        sink().setTableName(shown(object.name));
        sink().setFilePath(script.string());
        const std::string text = storedCodeScriptText(kind, schemaName, lines.lines());
        if (text.empty()) return;
        output_.append(script, text);
        countNameOutsideTables(kind == StoredCodeKind::Procedure ? "procedure" : "function", object.name);
    }

    AnalysedDatabase analysed_;
    const Catalog& catalog_;
    SavingState& state_;
    ScriptOutput& output_;
    const SavingSetup& setup_;
    const ScriptNames& names_;
    RowList rowList_;
    std::map<DictionaryNumber, long> tableNamesChanged_;
    std::string_view step_;
    std::string object_;
    std::vector<std::string> tableWarnings_;
};

// INCOMPLETE.txt: why the save ended early, where and when.
std::string incompleteNoteText(std::string_view why, const SavingSteps& steps, const Clock& clock) {
    const std::tm now = clock.now();
    return withCrLf("This output folder is incomplete: " + std::string(why) + "\nStep: " +
                    std::string(steps.step()) + "\nTable: " + (steps.object().empty() ? "-" : steps.object()) +
                    "\nTime: " + clockTime(now) + " " + clockDate(now) +
                    "\nCommit.bat and commit.sh replay only the scripts that were written completely.\n");
}

// Leaves the note in the output root and says so; a note that cannot be
// written is reported instead. Without an output root nothing was written,
// so there is nothing to mark.
void leaveIncompleteNote(std::string_view why, const SavingSteps& steps, const SavingSetup& setup,
                         MessageSink& messages, const Clock& clock) {
    std::error_code ignored;
    if (!fs::is_directory(setup.outputRoot, ignored)) return;
    const fs::path note = setup.outputRoot / kIncompleteNoteName;
    try {
        writeTextFile(note, incompleteNoteText(why, steps, clock));
        messages.showMessage("The output folder is incomplete: see " + note.string(), kCannotOpenTargetFileCaption);
    } catch (const OutputFileError& error) {
        messages.showMessage("The output folder is incomplete, and " + std::string(error.what()),
                             kCannotOpenTargetFileCaption);
    }
}

// Logs the names the scripts wrote changed when the save ends, however it ends.
class NameChangesLogged {
public:
    NameChangesLogged(const ScriptOutput& output, LogSink& log) : output_(output), log_(log) {}
    ~NameChangesLogged() {
        for (const std::string& change : output_.nameChanges()) logWarning(log_, change);
    }
    NameChangesLogged(const NameChangesLogged&) = delete;
    NameChangesLogged& operator=(const NameChangesLogged&) = delete;

private:
    const ScriptOutput& output_;
    LogSink& log_;
};

// Runs the steps without clearing the stop request: a Stop confirmed before
// the worker got going must still hold. A save that ends early leaves
// INCOMPLETE.txt; an error reading the datafile is raised on after that.
SavingResult runSavingStepsUntold(AnalysedDatabase analysed, SavingState& state, MessageSink& messages, LogSink& log,
                                  const Clock& clock, const SavingSetup& setup) {
    state.savingMode = true;
    state.saveFinished = false;
    ScriptOutput output(setup.outputRoot, state.control);
    // Every file name of the save, given once before the first script.
    const ScriptNames names(analysed.catalog, analysed.database.release);
    for (const std::string& change : names.changedNames()) logWarning(log, change);
    const NameChangesLogged nameChangesLogged(output, log);
    SavingSteps steps(analysed, state, output, setup, names);
    try {
        steps.run();
    } catch (const SavingStopped&) {
        leaveIncompleteNote("the save was stopped.", steps, setup, messages, clock);
        return SavingResult::saveStopped;
    } catch (const OutputFileError& error) {
        messages.showMessage(std::string(kCannotOpenTargetFileMessage) + "\n" + error.what(),
                             kCannotOpenTargetFileCaption);
        logSavingFailed(log, clock, error.what());
        leaveIncompleteNote("the save failed: " + std::string(error.what()), steps, setup, messages, clock);
        return SavingResult::cannotOpenTargetFile;
    } catch (const std::exception& error) {
        leaveIncompleteNote("the save failed: " + std::string(error.what()), steps, setup, messages, clock);
        throw;
    }
    for (const std::string& warning : steps.tableWarnings()) {
        logWarning(log, warning);
        messages.showMessage(warning, setup.messageCaption);
    }
    for (const std::string& warning : output.lineWarnings()) {
        logWarning(log, warning);
        messages.showMessage(warning, setup.messageCaption);
    }
    state.saveFinished = true;
    return SavingResult::saveCompleted;
}

// The steps, then every block a read error left unread is named, however
// the save ended.
SavingResult runSavingSteps(AnalysedDatabase analysed, SavingState& state, MessageSink& messages, LogSink& log,
                            const Clock& clock, const SavingSetup& setup) {
    SavingResult result;
    try {
        result = runSavingStepsUntold(analysed, state, messages, log, clock, setup);
    } catch (...) {
        tellUnreadableBlocks(analysed.database.datafiles, messages, log, setup.messageCaption);
        throw;
    }
    tellUnreadableBlocks(analysed.database.datafiles, messages, log, setup.messageCaption);
    return result;
}

}  // namespace

bool tableDataWanted(const RecoveryOptions& options, int objectNumber, DictionaryNumber userNumber) {
    return objectNumber != 0 && options.keepsOwner(userNumber);
}

std::string storedCodeScriptText(StoredCodeKind kind, std::string_view schemaName,
                                 std::span<const SourceLineEntry> sourceLines) {
    std::vector<const SourceLineEntry*> lines;
    for (const SourceLineEntry& line : sourceLines) lines.push_back(&line);
    // Every stored line in line order, whichever numbers are missing.
    std::stable_sort(lines.begin(), lines.end(), [](const SourceLineEntry* a, const SourceLineEntry* b) {
        return a->lineNumber < b->lineNumber;
    });
    std::string text;
    std::string source;  // the lines as stored, each ended by LF
    for (const SourceLineEntry* line : lines) {
        const std::string lineText =
            line->lineNumber == 1 ? storedCodeHeaderLine(kind, schemaName, line->text) : line->text;
        text += lineText;
        text += kCrLf;
        source += lineText;
        if (!lineText.ends_with('\n')) source += '\n';
    }
    if (lines.empty()) return text;
    const std::string fitted = fitLinesForSqlplus(text);
    if (holdsSqlplusControlLine(fitted, StatementLanguage::Plsql)) return statementRunAsData(source);
    return fitted + std::string(kStoredCodeEnd);
}

SavingResult runSaving(AnalysedDatabase analysed, SavingState& state, MessageSink& messages, LogSink& log,
                        const Clock& clock, const SavingSetup& setup) {
    state.control.reset();
    return runSavingSteps(analysed, state, messages, log, clock, setup);
}

SavingJob::SavingJob(AnalysedDatabase analysed, SavingState& state, MessageSink& messages, LogSink& log,
                     const Clock& clock, SavingSetup setup)
    : analysed_(analysed), state_(state), messages_(messages), log_(log), clock_(clock), setup_(std::move(setup)) {}

bool SavingJob::start() { return runner_.start([this] { work(); }); }

void SavingJob::work() {
    jobResult_ = runSavingSteps(analysed_, state_, messages_, log_, clock_, setup_);
    // The completion lines belong to the end of a save that was not stopped.
    if (jobResult_ == SavingResult::saveCompleted && !state_.savingAborted) logSaveCompleted(log_, clock_);
}

SavingResult SavingJob::wait() {
    runner_.wait();
    if (state_.savingAborted) return SavingResult::saveStopped;
    return jobResult_;
}

void SavingJob::togglePause() {
    ProgressSink& sink = state_.sink();
    if (runner_.paused()) {
        runner_.resume();
        if (state_.dataPhase) sink.setSkipEnabled(true);
    } else {
        runner_.pause();
        if (state_.ddlPhase || state_.dataPhase) sink.setSkipEnabled(false);
    }
}

void SavingJob::confirmStop() {
    state_.savingAborted = true;
    runner_.requestStop();
    logSavingStopped(log_);
    logSaveAborted(log_, clock_);
}

bool SavingJob::stop(QuestionPrompter& prompter, std::string_view question) {
    const PausedWhileAsking held = runner_.pausedWhileAsking();
    if (!prompter.askYesNo(question, setup_.messageCaption)) return false;
    confirmStop();
    return true;
}

bool SavingJob::skipTable(QuestionPrompter& prompter, std::string_view question) {
    return askSkipTable(state_, prompter, question, setup_.messageCaption);
}

bool SavingJob::escape(QuestionPrompter& prompter, std::string_view question) {
    const PausedWhileAsking held = runner_.pausedWhileAsking();
    if (!prompter.askYesNo(question, setup_.messageCaption)) return false;
    logRepairingAborted(log_);
    runner_.requestStop();
    return true;
}

bool SavingJob::closeWindow(QuestionPrompter& prompter, std::string_view question) {
    return prompter.askYesNo(question, setup_.messageCaption);
}

}  // namespace restorix
