#include "output/code_statements.h"

#include <algorithm>

#include "platform/codepage.h"
#include "output/batch_files.h"
#include "output/sql_names.h"
#include "output/sqlplus_lines.h"

namespace restorix {
namespace {

constexpr std::string_view kTriggerEnd = "\r\n/\r\n\r\n";
constexpr std::string_view kViewEnd = ";\r\n\r\n";

// Characters the stored keyword takes at the start of the first source line.
constexpr std::size_t kProcedureKeywordLength = 9;  // PROCEDURE
constexpr std::size_t kFunctionKeywordLength = 8;   // FUNCTION

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isWordCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '$' || c == '#';
}

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether text at pos spells word (case-insensitively); advances pos past it.
bool matchWord(std::string_view text, std::size_t& pos, std::string_view word) {
    if (text.size() - pos < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (asciiUpper(text[pos + i]) != word[i]) return false;
    }
    pos += word.size();
    return true;
}

// Skips white space; false when there was none.
bool skipWhiteSpace(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < text.size() && isWhiteSpace(text[pos])) ++pos;
    return pos > start;
}

bool forEachRowAt(std::string_view text, std::size_t pos) {
    return matchWord(text, pos, "FOR") && skipWhiteSpace(text, pos) && matchWord(text, pos, "EACH") &&
           skipWhiteSpace(text, pos) && matchWord(text, pos, "ROW") &&
           (pos == text.size() || !isWordCharacter(text[pos]));
}

std::string timingText(int triggerType) {
    switch (triggerType) {
        case 0:
        case 1:
            return " before";
        case 2:
        case 3:
            return " after";
        default:
            return " instead of";
    }
}

std::string eventsText(const TriggerDefinition& trigger) {
    std::string events;
    const auto add = [&events](bool set, std::string_view word) {
        if (!set) return;
        events += events.empty() ? " " : " or ";
        events += word;
    };
    add(trigger.insertEvent, "insert");
    add(trigger.updateEvent, "update");
    add(trigger.deleteEvent, "delete");
    return events;
}

std::string targetText(const TriggerDefinition& trigger) {
    if (!trigger.target) return "Database";
    const TriggerDefinition::Target& target = *trigger.target;
    if (!target.schemaName) return tableSqlName(target.name);
    return qualifiedTableName(*target.schemaName, target.name);
}

bool hasDmlEvent(const TriggerDefinition& trigger) {
    return trigger.insertEvent || trigger.updateEvent || trigger.deleteEvent;
}

// Everything between "Create or Replace Trigger S." and the WHEN part.
std::string triggerHeading(const TriggerDefinition& trigger) {
    // A database or schema event trigger: its stored definition already names
    // the trigger, its timing, its events and its target.
    if (!hasDmlEvent(trigger) && trigger.definition) return *trigger.definition;
    const bool forEachRow = trigger.definition && definitionIsForEachRow(*trigger.definition);
    return sqlName(trigger.triggerName) + timingText(trigger.triggerType) + eventsText(trigger) + " on " +
           targetText(trigger) + (forEachRow ? " FOR EACH ROW" : "");
}

}  // namespace

namespace {

// Without SET SQLBLANKLINES ON sqlplus ends a SQL statement at a blank line,
// so blank lines of a view's text were always left out; such lines carry
// nothing in SQL, and a view keeps the form it was always written in.
std::string withoutBlankLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        const bool blank = line.find_first_not_of(" \t\r") == std::string_view::npos;
        const bool firstLine = start == 0;
        if (!blank || firstLine) {
            if (!firstLine && !out.empty()) out += '\n';
            out += line;
        }
        start = end + 1;
    }
    return out;
}

// Where a character of stored code stands: only blanks in plain code may
// become line breaks.
enum class CodeContext { Plain, Quoted, QuotedName, LineComment, BlockComment };

bool isBreakableBlank(char c) { return c == ' ' || c == '\t'; }

// The context after `code[at]`; `at` moves past a two-character opener or closer.
CodeContext contextAfter(std::string_view code, std::size_t& at, CodeContext context) {
    const char c = code[at];
    const char next = at + 1 < code.size() ? code[at + 1] : '\0';
    switch (context) {
        case CodeContext::Plain:
            if (c == '\'') return CodeContext::Quoted;
            if (c == '"') return CodeContext::QuotedName;
            if (c == '-' && next == '-') return ++at, CodeContext::LineComment;
            if (c == '/' && next == '*') return ++at, CodeContext::BlockComment;
            return context;
        case CodeContext::Quoted:
            return c == '\'' ? CodeContext::Plain : context;
        case CodeContext::QuotedName:
            return c == '"' ? CodeContext::Plain : context;
        case CodeContext::LineComment:
            return c == '\n' ? CodeContext::Plain : context;
        case CodeContext::BlockComment:
            if (c == '*' && next == '/') return ++at, CodeContext::Plain;
            return context;
    }
    return context;
}

}  // namespace

std::string fitLinesForSqlplus(std::string_view code) {
    std::string text(code);
    CodeContext context = CodeContext::Plain;
    std::size_t lineStart = 0;
    std::size_t lastBlank = std::string::npos;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\n') {
            lineStart = at + 1;
            lastBlank = std::string::npos;
        } else if (context == CodeContext::Plain && isBreakableBlank(text[at])) {
            lastBlank = at;
        }
        context = contextAfter(text, at, context);
        if (at + 1 - lineStart <= kSqlplusLineLimit || text[at] == '\r') continue;
        if (lastBlank != std::string::npos) {
            text[lastBlank] = '\n';
            lineStart = lastBlank + 1;
            lastBlank = std::string::npos;
        }
    }
    return text;
}

std::size_t linesTooLongForSqlplus(std::string_view text) {
    std::size_t tooLong = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::size_t length = end - start;
        if (length > 0 && end < text.size() && text[end - 1] == '\r') --length;
        if (length > kSqlplusLineLimit) ++tooLong;
        start = end + 1;
    }
    return tooLong;
}

std::optional<std::string> viewScriptText(std::string_view schemaName, std::string_view viewName,
                                          std::string_view viewText) {
    if (viewText.empty()) return std::nullopt;
    const std::string head = "Create or Replace View " + sqlName(schemaName) + "." + sqlName(viewName) + " as ";
    const std::string fitted = fitLinesForSqlplus(head + withoutBlankLines(viewText));
    if (holdsSqlplusControlLine(fitted, StatementLanguage::Sql)) return statementRunAsData(head + std::string(viewText));
    return withCrLf(fitted) + std::string(kViewEnd);
}

bool definitionIsForEachRow(std::string_view definition) {
    for (std::size_t pos = 1; pos < definition.size(); ++pos) {
        if (isWhiteSpace(definition[pos - 1]) && forEachRowAt(definition, pos)) return true;
    }
    return false;
}

std::optional<std::string> triggerScriptText(const TriggerDefinition& trigger) {
    if (!trigger.definition && !trigger.whenClause && !trigger.body) return std::nullopt;
    const std::string when = trigger.whenClause ? " WHEN (" + *trigger.whenClause + ")" : std::string();
    const std::string statement = "Create or Replace Trigger " + sqlName(trigger.schemaName) + "." +
                                  triggerHeading(trigger) + when + " " + trigger.body.value_or("");
    const std::string fitted = fitLinesForSqlplus(statement);
    if (holdsSqlplusControlLine(fitted, StatementLanguage::Plsql)) return statementRunAsData(statement);
    return withCrLf(fitted) + std::string(kTriggerEnd);
}

std::string storedCodeHeaderLine(StoredCodeKind kind, std::string_view schemaName,
                                 std::string_view firstLine) {
    const bool procedure = kind == StoredCodeKind::Procedure;
    const std::string_view keyword = procedure ? "Procedure " : "Function ";
    const std::size_t keywordLength = procedure ? kProcedureKeywordLength : kFunctionKeywordLength;
    return "Create or replace " + std::string(keyword) + sqlName(schemaName) + "." +
           std::string(dropCharacters(firstLine, keywordLength));
}

}  // namespace restorix
