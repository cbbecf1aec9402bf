#pragma once
// Builds a table's data script as the row reader reads its blocks: one insert
// statement per complete row, each followed by its own commit, written to the
// script as each block is done. And the Skip Table question of the File
// Saving dialog.

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/job_control.h"
#include "dictionary/catalog.h"
#include "tabledata/saving_state.h"
#include "tabledata/row_value.h"
#include "tabledata/sql_literal.h"

namespace restorix {

// An output file that could not be created or written: which file and the
// system's reason. The saving job ends at the first one.
class OutputFileError : public std::runtime_error {
public:
    OutputFileError(const std::filesystem::path& path, std::string_view reason);
    // The reason is the system's text for errno.
    OutputFileError(const std::filesystem::path& path, int errorCode);
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Writes all of `bytes` to the open file `fd`; raises OutputFileError naming
// `path` when the system refuses (a full disk, a file-size limit).
void writeAllBytes(int fd, std::string_view bytes, const std::filesystem::path& path);

inline constexpr std::string_view kStatementEnd = "\r\nCommit;\r\n";
// A statement with a value too long for a SQL literal runs inside a PL/SQL
// block: "BEGIN", the statement, then these lines and the commit.
inline constexpr std::string_view kBlockBegin = "BEGIN\r\n";
inline constexpr std::string_view kBlockEnd = "\r\nEND;\r\n/";

// Builds one table's statements in the code page as its values come, one at
// a time: a row is complete once it holds as many values as its records count
// (a count of 0 makes every value a row of its own), and each complete row
// gives its insert statement followed by its commit line. What follows the
// last complete row is left out. A statement too long for one sqlplus line
// is broken over several (breakStatementLines); a value too long for a SQL
// literal puts its statement in a PL/SQL block; a value too long even for
// that is written NULL and counted.
class DataStatementBuilder {
public:
    // The table name is UTF-8; it is turned into the code page here, once.
    explicit DataStatementBuilder(std::string_view qualifiedTable);

    // Starts a run of statements at the end of `out`, which must live until
    // finish().
    void start(std::string& out);
    // A value whose text is in the code page already (as stored in the datafile).
    void addCodePageText(ValueKind kind, std::string_view codePageText, std::uint8_t columnCount);
    // A value from its stored bytes, formatted as formatColumnValueInto
    // spells it in the code page, most kinds straight into the statement.
    // Returns whether it is undecodable (isUndecodable).
    bool addStored(ColumnKind columnKind, std::span<const std::uint8_t> bytes, NationalCharset national,
                   std::uint8_t columnCount);
    // Drops an incomplete last row.
    void finish();

    // Values written NULL since construction because their text is longer
    // than a PL/SQL literal may be. The caller logs and counts them as not
    // recovered.
    std::size_t valuesTooLong() const { return valuesTooLong_; }

private:
    // Before each item: the statement's head or the separator.
    void beginItem() {
        if (valuesInRow_ == 0) return beginRow();
        commas_.push_back(rowLength_);
        *rowRoom(kItemSeparator.size()) = kItemSeparator.front();
        rowLength_ += kItemSeparator.size();
    }
    void beginRow();
    // The item of a formatted value, NULL when it is too long even for PL/SQL.
    void appendItem(ValueKind kind, std::string_view codePageText);
    // A value written the general way: formatted, then made an item. Returns
    // whether it is undecodable.
    bool addFormatted(ColumnKind columnKind, std::span<const std::uint8_t> bytes, NationalCharset national);
    // After each item: ends the row once it holds all its values.
    void endItem(std::uint8_t columnCount) {
        if (++valuesInRow_ < columnCount) return;
        endRow();
        valuesInRow_ = 0;
    }
    // Adds the complete row to the statements.
    void endRow();
    // Where `room` characters may be written after the row's text.
    char* rowRoom(std::size_t room) {
        if (row_.size() - rowLength_ < room) [[unlikely]]
            growRow(room);
        return row_.data() + rowLength_;
    }
    void growRow(std::size_t room);
    void appendToRow(std::string_view text);

    std::string head_;    // "insert into <table> values (", in the code page
    std::string rowEnd_;  // the statement's tail and its commit line
    std::string blockRowEnd_;  // the same for a statement inside a PL/SQL block
    std::vector<std::size_t> commas_;  // the item separators of the row, from its start
    bool rowNeedsBlock_ = false;
    std::size_t valuesTooLong_ = 0;
    std::string converted_;  // the last value formatted the general way
    std::string item_;       // its item
    // The row being built, written in place from its start: its first
    // rowLength_ characters are the row so far, the rest room for more.
    std::string row_;
    std::size_t rowLength_ = 0;
    std::string* out_ = nullptr;
    int valuesInRow_ = 0;
};

// Writes to saving.currentDataFile (created when missing, appended to
// otherwise). Keeps the file open from one call to the next, so a table read
// block by block opens its script once.
class DataScriptWriter {
public:
    explicit DataScriptWriter(SavingState& saving) : saving_(saving) {}
    ~DataScriptWriter();
    DataScriptWriter(const DataScriptWriter&) = delete;
    DataScriptWriter& operator=(const DataScriptWriter&) = delete;

    // Writes statements a DataStatementBuilder built, with one write call.
    // After a confirmed Stop nothing is written and this is false. A script
    // that cannot be opened or written raises OutputFileError.
    bool writeStatements(std::string_view codePageBytes);

    // Opens (creating when missing) the current script; false when it cannot
    // (the writes then raise the reason). Another script open before is
    // closed first, as close() does.
    bool open();
    // Closes the open script; a close that fails (some file systems report a
    // full disk only there) raises OutputFileError naming it.
    void close();

private:
    // The close of the destructor, after a failure was raised already.
    void closeUnchecked();
    // open(), raising OutputFileError with the system's reason when it fails.
    void openOrRaise();

    SavingState& saving_;
    int fd_ = -1;
    std::filesystem::path openPath_;
};

// Skip Table button: holds the saving job while the question is open. Only
// while a table is being read is the user asked; the answer sets
// skipRequested. The question and its caption are the front end's. Returns
// whether the question was asked.
bool askSkipTable(SavingState& saving, QuestionPrompter& prompter, std::string_view question,
                  std::string_view caption);

}  // namespace restorix
