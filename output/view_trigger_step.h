#pragma once
// The views and triggers step: each VIEW$ and TRIGGER$ row the analysis kept
// (Catalog::codeRows) becomes one statement of Views\Views.sql or
// Triggers\Triggers.sql, in the order the blocks held them.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "dictionary/catalog.h"
#include "dictionary/code_rows.h"
#include "dictionary/recovery.h"
#include "output/code_statements.h"
#include "output/output_files.h"
#include "tabledata/saving_state.h"

namespace restorix {

// The statement of a view row with its names from the catalog; nullopt when
// the view is not written (unknown object or owner, unwanted owner, column
// entries missing, empty text). `viewName` receives the view's name.
std::optional<std::string> viewStatementOf(const Catalog& catalog, const RecoveryOptions& options, const ViewRow& row,
                                           std::string& viewName);

// The definition of a trigger row with its names from the catalog; nullopt
// when the trigger or its base object is unknown, or its owner is not wanted.
std::optional<TriggerDefinition> triggerDefinitionOf(const Catalog& catalog, const RecoveryOptions& options,
                                                     const TriggerRow& row);

// The whole step: the VIEW$ and TRIGGER$ rows the analysis kept, in block
// order, appended to the two scripts. Raises what ScriptOutput raises (a confirmed Stop, a trigger script that cannot be opened).
void writeViewsAndTriggers(AnalysedDatabase analysed, SavingState& state, ScriptOutput& output);

}  // namespace restorix
