#pragma once
// Statements of views, triggers, procedures and functions as the view,
// trigger and procedure scripts hold them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace restorix {

// The text appended to Views\Views.sql for one view: "Create or Replace View
// S.V as " + its text, with CR LF line ends, then ";" and an empty line.
// A text holding a line that sqlplus would not read as part of the statement
// (holdsSqlplusControlLine) travels as data instead: statementRunAsData.
// nullopt for an empty view text (such a view is not written).
std::optional<std::string> viewScriptText(std::string_view schemaName, std::string_view viewName,
                                          std::string_view viewText);

// One TRIGGER$ row with its names looked up in the catalog.
struct TriggerDefinition {
    std::string schemaName;   // the trigger owner's schema
    std::string triggerName;
    int triggerType = 0;      // 0, 1 before; 2, 3 after; anything else instead of
    bool insertEvent = false;
    bool updateEvent = false;
    bool deleteEvent = false;
    // The table or view the trigger is on; none for a database-level trigger.
    // Its schema is absent when its owner has no schema entry.
    struct Target {
        std::optional<std::string> schemaName;
        std::string name;
    };
    std::optional<Target> target;
    std::optional<std::string> definition;  // the stored "NAME timing events on target ..." text
    std::optional<std::string> whenClause;
    std::optional<std::string> body;
};

// The text appended to Triggers\Triggers.sql for one trigger: the statement
// with CR LF line ends, then CR LF, "/" and an empty line; as data
// (statementRunAsData) when a line would end it early or run as a command.
// nullopt when the definition, the when-clause and the body are all absent.
std::optional<std::string> triggerScriptText(const TriggerDefinition& trigger);

// " FOR EACH ROW" is added when the definition holds the words FOR EACH ROW
// (any case, any white space between them, white space before FOR).
bool definitionIsForEachRow(std::string_view definition);

enum class StoredCodeKind { Procedure, Function };

// The first source line with its keyword replaced by
// "Create or replace Procedure S." (or Function): the line loses its first 9
// (PROCEDURE) or 8 (FUNCTION) characters; a shorter line leaves nothing.
std::string storedCodeHeaderLine(StoredCodeKind kind, std::string_view schemaName,
                                 std::string_view firstLine);

// sqlplus refuses an input line longer than this.
inline constexpr std::size_t kSqlplusLineLimit = 2499;

// Stored code with every line longer than kSqlplusLineLimit broken at a
// blank that lies outside quotes and comments (the blank becomes the line
// break), as late in the line as the limit allows. A line without such a
// blank is kept as it is (linesTooLongForSqlplus counts it).
std::string fitLinesForSqlplus(std::string_view code);

// The number of lines (ended by LF or by the end of the text, a CR before the
// LF not counted) longer than kSqlplusLineLimit.
std::size_t linesTooLongForSqlplus(std::string_view text);

// Written after the last source line of a procedure or function.
inline constexpr std::string_view kStoredCodeEnd = "\r\n/\r\n\r\n";

}  // namespace restorix
