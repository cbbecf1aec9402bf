#include "tabledata/data_script_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/codepage.h"
#include "platform/job_runner.h"
#include "tabledata/sql_literal.h"
#include "tabledata/value_format.h"

namespace restorix {

namespace {

constexpr mode_t kScriptFileMode = 0644;

}  // namespace

OutputFileError::OutputFileError(const std::filesystem::path& path, std::string_view reason)
    : std::runtime_error(path.string() + ": " + std::string(reason)), path_(path) {}

OutputFileError::OutputFileError(const std::filesystem::path& path, int errorCode)
    : OutputFileError(path, std::strerror(errorCode)) {}

void writeAllBytes(int fd, std::string_view bytes, const std::filesystem::path& path) {
    while (!bytes.empty()) {
        const ssize_t done = ::write(fd, bytes.data(), bytes.size());
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) throw OutputFileError(path, errno);
        // A write that takes nothing would loop for ever: the disk is full.
        if (done == 0) throw OutputFileError(path, ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
}

DataStatementBuilder::DataStatementBuilder(std::string_view qualifiedTable) {
    std::string utf8Head;
    appendInsertHead(utf8Head, qualifiedTable);
    head_ = toCodePage(utf8Head);
    appendInsertTail(rowEnd_);
    blockRowEnd_ = rowEnd_;
    rowEnd_ += kStatementEnd;
    blockRowEnd_ += kBlockEnd;
    blockRowEnd_ += kStatementEnd;
}

void DataStatementBuilder::start(std::string& out) {
    out_ = &out;
    valuesInRow_ = 0;
    rowLength_ = 0;
}

void DataStatementBuilder::growRow(std::size_t room) {
    // The row's text only grows, in steps that double it: no value's room is
    // made by filling it first.
    row_.resize(std::max(2 * row_.size(), rowLength_ + room));
}

void DataStatementBuilder::appendToRow(std::string_view text) {
    char* const at = rowRoom(text.size());
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    rowLength_ += text.size();
}

void DataStatementBuilder::beginRow() {
    rowLength_ = 0;
    appendToRow(head_);
    commas_.clear();
    rowNeedsBlock_ = false;
}

void DataStatementBuilder::appendItem(ValueKind kind, std::string_view codePageText) {
    if (codePageText.size() > kPlsqlLiteralLimit) {
        ++valuesTooLong_;
        kind = ValueKind::Null;
    }
    if (kind == ValueKind::Null) return appendToRow(kNullItem);
    rowNeedsBlock_ = rowNeedsBlock_ || codePageText.size() > kSqlLiteralLimit;
    item_.clear();
    appendSqlItem(item_, kind, codePageText);
    appendToRow(item_);
}

void DataStatementBuilder::addCodePageText(ValueKind kind, std::string_view codePageText, std::uint8_t columnCount) {
    beginItem();
    appendItem(kind, codePageText);
    endItem(columnCount);
}

bool DataStatementBuilder::addStored(ColumnKind columnKind, std::span<const std::uint8_t> bytes, NationalCharset national,
                                     std::uint8_t columnCount) {
    beginItem();
    StoredItem item;
    char* const end = writeStoredSqlItem(rowRoom(storedSqlItemRoom(bytes.size())), columnKind, bytes, item);
    const bool undecodable = end ? item.undecodable : addFormatted(columnKind, bytes, national);
    if (end) rowLength_ = static_cast<std::size_t>(end - row_.data());
    endItem(columnCount);
    return undecodable;
}

bool DataStatementBuilder::addFormatted(ColumnKind columnKind, std::span<const std::uint8_t> bytes, NationalCharset national) {
    const ValueKind kind = formatColumnValueInto(columnKind, bytes, converted_, TextBytes::CodePage, national);
    appendItem(kind, converted_);
    return isUndecodable(kind, converted_);
}

void DataStatementBuilder::endRow() {
    std::string& out = *out_;
    const std::size_t rowStart = out.size();
    out.append(row_.data(), rowLength_);
    if (rowLength_ + rowEnd_.size() - kStatementEnd.size() > kOneLineStatementLimit) {
        breakStatementLines(out, rowStart, commas_);
        if (rowNeedsBlock_) out.insert(rowStart, kBlockBegin);
    }
    out += rowNeedsBlock_ ? blockRowEnd_ : rowEnd_;
}

// An incomplete last row was never added to the statements.
void DataStatementBuilder::finish() {
    valuesInRow_ = 0;
    rowLength_ = 0;
}

DataScriptWriter::~DataScriptWriter() { closeUnchecked(); }

void DataScriptWriter::closeUnchecked() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void DataScriptWriter::close() {
    if (fd_ < 0) return;
    const int fd = std::exchange(fd_, -1);
    const int closed = saving_.closeDataScript ? saving_.closeDataScript(fd) : ::close(fd);
    if (closed != 0) throw OutputFileError(openPath_, errno);
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

void DataScriptWriter::openOrRaise() {
    if (!open()) throw OutputFileError(saving_.currentDataFile, errno);
}

bool DataScriptWriter::writeStatements(std::string_view codePageBytes) {
    if (!saving_.control.proceed()) return false;
    openOrRaise();
    writeAllBytes(fd_, codePageBytes, openPath_);
    return true;
}

bool askSkipTable(SavingState& saving, QuestionPrompter& prompter, std::string_view question,
                  std::string_view caption) {
    const PausedWhileAsking held(saving.control);
    const bool asked = saving.tableInProgress.load();
    if (asked) saving.skipRequested.store(prompter.askYesNo(question, caption));
    return asked;
}

}  // namespace restorix
