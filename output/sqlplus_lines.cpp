#include "output/sqlplus_lines.h"

#include <algorithm>

#include "platform/codepage.h"
#include "tabledata/sql_literal.h"

namespace restorix {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
// The character that makes a line a sqlplus command inside a statement.
constexpr char kCommandPrefix = '#';

// The CR LF line ends of the blocks written here; every line after the first
// continues the block, none of them can end it early.
constexpr std::string_view kRunAsDataOpen = "BEGIN EXECUTE IMMEDIATE ";
constexpr std::string_view kRunAsDataClose = "; END;";
constexpr std::string_view kBlockEnd = "\r\n/\r\n\r\n";

// A text longer than a PL/SQL literal is parsed from a table of pieces:
// DBMS_SQL.VARCHAR2S, whose pieces hold up to 256 bytes, is there in every
// release the output is replayed into. Its pieces are joined as they are.
constexpr std::size_t kPieceCharacters = 256;
constexpr std::string_view kPiecesDeclare =
    "DECLARE\r\n statement_text DBMS_SQL.VARCHAR2S;\r\n cursor_id INTEGER;\r\nBEGIN\r\n";
constexpr std::string_view kPieceAssign = " statement_text(";
constexpr std::string_view kPieceAssignClose = ") := ";
constexpr std::string_view kPiecesParseOpen =
    " cursor_id := DBMS_SQL.OPEN_CURSOR;\r\n DBMS_SQL.PARSE(cursor_id, statement_text, 1, ";
constexpr std::string_view kPiecesParseClose =
    ", FALSE, DBMS_SQL.NATIVE);\r\n DBMS_SQL.CLOSE_CURSOR(cursor_id);\r\nEND;";

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

bool isControlLine(std::string_view line, StatementLanguage language) {
    const std::string_view text = trimmed(line);
    if (text == "/" || text == "." || text.starts_with(kCommandPrefix)) return true;
    return language == StatementLanguage::Sql && text.ends_with(';');
}

// The text as one literal item, spliced as values are.
std::string literalOf(std::string_view text) {
    std::string literal;
    appendSqlItem(literal, ValueKind::Text, text);
    return literal;
}

// The first `characters` characters of a UTF-8 text.
std::string_view leadingCharacters(std::string_view text, std::size_t characters) {
    return text.substr(0, text.size() - dropCharacters(text, characters).size());
}

std::string piecesBlock(std::string_view statement) {
    std::string block(kPiecesDeclare);
    std::size_t pieces = 0;
    for (std::string_view rest = statement; !rest.empty();) {
        const std::string_view piece = leadingCharacters(rest, kPieceCharacters);
        rest.remove_prefix(piece.size());
        block += kPieceAssign;
        block += std::to_string(++pieces);
        block += kPieceAssignClose;
        block += literalOf(piece);
        block += ";\r\n";
    }
    block += kPiecesParseOpen;
    block += std::to_string(pieces);
    block += kPiecesParseClose;
    return block;
}

}  // namespace

bool holdsSqlplusControlLine(std::string_view statement, StatementLanguage language) {
    for (std::size_t start = 0; start <= statement.size();) {
        const std::size_t end = std::min(statement.find('\n', start), statement.size());
        if (isControlLine(statement.substr(start, end - start), language)) return true;
        start = end + 1;
    }
    return false;
}

std::string statementRunAsData(std::string_view statement) {
    // A text is as many bytes in the database as it has characters here: the
    // scripts carry each stored byte as one character of the code page.
    std::string block = characterCount(statement) <= kPlsqlLiteralLimit
                            ? std::string(kRunAsDataOpen) + literalOf(statement) + std::string(kRunAsDataClose)
                            : piecesBlock(statement);
    // Literals longer than a script line may be are cut into joined pieces.
    breakStatementLines(block, 0, {});
    return block + std::string(kBlockEnd);
}

}  // namespace restorix
