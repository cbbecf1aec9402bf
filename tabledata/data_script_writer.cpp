#include "tabledata/data_script_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <span>

#include "platform/codepage.h"
#include "tabledata/sql_literal.h"

namespace restorix {

namespace {

constexpr mode_t kScriptFileMode = 0644;
constexpr unsigned char kFirstNonAscii = 0x80;

// Writes all of `bytes`; write errors are not reported, as for every script.
void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
}

bool isAscii(std::string_view text) {
    unsigned char seen = 0;
    for (const char c : text) seen |= static_cast<unsigned char>(c);
    return seen < kFirstNonAscii;
}

// The statements of the complete rows of `values`, all of one table. A row is
// complete once it holds as many values as its records count (a count of 0
// makes every value a row of its own); what follows the last complete row is
// left out.
void appendRowStatements(std::string_view qualifiedTable, std::span<const RowValue> values, std::string& utf8) {
    std::size_t rowStart = 0;
    int valuesInRow = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        ++valuesInRow;
        if (valuesInRow < values[i].columnCount) continue;
        utf8 += insertStatement(qualifiedTable, values.subspan(rowStart, i + 1 - rowStart));
        utf8 += kStatementEnd;
        rowStart = i + 1;
        valuesInRow = 0;
    }
}

}  // namespace

void appendDataStatements(std::string_view qualifiedTable, std::int32_t objectNumber, const RowList& rowList,
                          std::string& out, std::string& scratch) {
    scratch.clear();
    const auto ofOtherTable = [objectNumber](const RowValue& value) { return value.objectNumber != objectNumber; };
    if (std::any_of(rowList.begin(), rowList.end(), ofOtherTable)) {
        // Values of other tables are passed over without counting.
        RowList own;
        std::remove_copy_if(rowList.begin(), rowList.end(), std::back_inserter(own), ofOtherTable);
        appendRowStatements(qualifiedTable, own, scratch);
    } else {
        appendRowStatements(qualifiedTable, rowList, scratch);
    }
    // Statements are mostly ASCII, which the code page keeps byte for byte.
    if (isAscii(scratch))
        out += scratch;
    else
        out += toCodePage(scratch);
}

DataScriptWriter::~DataScriptWriter() { close(); }

void DataScriptWriter::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool DataScriptWriter::open() {
    if (fd_ >= 0 && openPath_ == saving_.currentDataFile) return true;
    close();
    // Created when missing; an existing script is appended to, never truncated.
    fd_ = ::open(saving_.currentDataFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kScriptFileMode);
    if (fd_ < 0) return false;
    openPath_ = saving_.currentDataFile;
    return true;
}

bool DataScriptWriter::writeStatements(std::string_view codePageBytes) {
    if (!saving_.control.proceed()) return false;
    if (!open()) return false;
    writeAll(fd_, codePageBytes);
    return true;
}

bool DataScriptWriter::writeTableData(std::int32_t objectNumber, RowList& rowList) {
    if (!saving_.control.proceed()) return false;
    if (!open()) return false;
    bytes_.clear();
    appendDataStatements(saving_.qualifiedTable, objectNumber, rowList, bytes_, scratch_);
    releaseRowList(rowList);
    return bytes_.empty() || writeStatements(bytes_);
}

bool writeTableData(SavingState& saving, std::int32_t objectNumber, RowList& rowList) {
    return DataScriptWriter(saving).writeTableData(objectNumber, rowList);
}

bool askSkipTable(SavingState& saving, QuestionPrompter& prompter, std::string_view appTitle) {
    // The job waits at its next stop point while the question is open; a job
    // the user had paused stays paused.
    const bool wasPaused = saving.control.paused();
    saving.control.pause();
    const bool asked = saving.tableInProgress.load();
    if (asked) saving.skipRequested.store(prompter.askYesNo(kSkipTableQuestion, appTitle));
    if (!wasPaused) saving.control.resume();
    return asked;
}

}  // namespace restorix
