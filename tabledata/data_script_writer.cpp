#include "tabledata/data_script_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "platform/codepage.h"
#include "tabledata/sql_literal.h"

namespace restorix {

namespace {

constexpr mode_t kScriptFileMode = 0644;

// Writes all of `bytes`; write errors are not reported, as for every script.
void writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
}

}  // namespace

DataScriptWriter::~DataScriptWriter() { close(); }

void DataScriptWriter::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool DataScriptWriter::ensureOpen() {
    if (fd_ >= 0 && openPath_ == saving_.currentDataFile) return true;
    close();
    // Created when missing; an existing script is appended to, never truncated.
    fd_ = ::open(saving_.currentDataFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, kScriptFileMode);
    if (fd_ < 0) return false;
    openPath_ = saving_.currentDataFile;
    return true;
}

void DataScriptWriter::buildStatements(const RowList& rowList) {
    text_.clear();
    // A row is complete once it holds as many values as its records count
    // (a count of 0 makes every value a row of its own).
    std::size_t rowStart = 0;
    int valuesInRow = 0;
    for (std::size_t i = 0; i < rowList.size(); ++i) {
        ++valuesInRow;
        if (valuesInRow < rowList[i].columnCount) continue;
        const std::span<const RowValue> row(rowList.data() + rowStart, i + 1 - rowStart);
        text_ += insertStatement(saving_.qualifiedTable, row);
        text_ += kStatementEnd;
        rowStart = i + 1;
        valuesInRow = 0;
    }
}

bool DataScriptWriter::writeTableData(std::int32_t objectNumber, RowList& rowList) {
    if (!saving_.control.proceed()) return false;
    if (!ensureOpen()) return false;
    // Values of other tables take no part in the rows; they go with the list.
    std::erase_if(rowList, [objectNumber](const RowValue& value) { return value.objectNumber != objectNumber; });
    buildStatements(rowList);
    releaseRowList(rowList);
    if (text_.empty()) return true;
    const std::string bytes = toCodePage(text_);
    if (!saving_.control.proceed()) return false;
    writeAll(fd_, bytes);
    return true;
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
