#include "tests/sqlplus_stand_in.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <sstream>

namespace restorix::test {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

// sqlplus commands by their full name and the shortest abbreviation it takes.
struct CommandWord {
    std::string_view name;
    std::size_t shortest;
};
constexpr std::array<CommandWord, 52> kCommandWords = {{
    {"accept", 3},   {"append", 1},    {"archive", 4},  {"attribute", 4}, {"break", 3},     {"btitle", 3},
    {"change", 1},   {"clear", 2},     {"column", 3},   {"compute", 4},   {"connect", 4},   {"copy", 4},
    {"define", 3},   {"del", 3},       {"describe", 4}, {"disconnect", 4}, {"document", 3}, {"edit", 2},
    {"execute", 4},  {"exit", 3},      {"get", 3},      {"help", 1},      {"host", 2},      {"input", 1},
    {"list", 1},     {"password", 4},  {"pause", 3},    {"print", 3},     {"prompt", 3},    {"quit", 4},
    {"recover", 4},  {"remark", 3},    {"repfooter", 4}, {"repheader", 4}, {"run", 1},      {"save", 3},
    {"set", 3},      {"show", 3},      {"shutdown", 4}, {"spool", 3},     {"start", 3},     {"startup", 5},
    {"store", 4},    {"timing", 4},    {"ttitle", 3},   {"undefine", 5},  {"variable", 3},  {"whenever", 8},
    {"xquery", 6},   {"sqlplus", 7},   {"ed", 2},       {"r", 1},
}};

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(kBlanks) - first + 1);
}

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// The words of a line, lower case, a final ";" dropped.
std::vector<std::string> wordsOf(std::string_view line) {
    std::string text = lowered(trimmed(line));
    if (!text.empty() && text.back() == ';') text.pop_back();
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

bool isCommandLine(std::string_view line) {
    const std::string_view text = trimmed(line);
    if (text.empty()) return false;
    if (text.front() == '@' || text.front() == '!' || text.front() == '$') return true;
    const std::vector<std::string> words = wordsOf(text);
    if (words.empty()) return false;
    const std::string& first = words.front();
    return std::any_of(kCommandWords.begin(), kCommandWords.end(), [&](const CommandWord& command) {
        return first.size() >= command.shortest && command.name.starts_with(first);
    });
}

bool isAllowedCommand(std::string_view line) {
    const std::vector<std::string> words = wordsOf(line);
    return words == std::vector<std::string>{"set", "sqlblanklines", "on"} || words == std::vector<std::string>{"exit"};
}

bool startsPlsql(std::string_view line) {
    std::vector<std::string> words = wordsOf(line);
    if (words.empty()) return false;
    if (words[0] == "declare" || words[0] == "begin") return true;
    if (words[0] != "create") return false;
    std::size_t at = 1;
    if (words.size() > 2 && words[1] == "or" && words[2] == "replace") at = 3;
    static constexpr std::array<std::string_view, 5> kPlsqlObjects = {"procedure", "function", "package", "trigger",
                                                                      "type"};
    return at < words.size() &&
           std::find(kPlsqlObjects.begin(), kPlsqlObjects.end(), words[at]) != kPlsqlObjects.end();
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) {
        if (!out.empty()) out += '\n';
        out += line;
    }
    return out;
}

class Reader {
public:
    void read(std::string_view line) {
        if (trimmed(line).starts_with('#')) return command(trimmed(line));
        if (!open_) return outside(line);
        const std::string_view text = trimmed(line);
        if (text == "/") return run();
        if (text == ".") return abandon();
        if (plsql_) {
            buffer_.emplace_back(line);
            return;
        }
        if (text.empty() && !blankLines_) return abandon();
        if (text.ends_with(';')) {
            std::string last(line.substr(0, line.find_last_of(';')));
            buffer_.push_back(std::move(last));
            return run();
        }
        buffer_.emplace_back(line);
    }

    bool exited() const { return exited_; }
    SqlplusReplay finish() {
        replay_.endsInsideStatement = open_;
        return std::move(replay_);
    }

private:
    void outside(std::string_view line) {
        const std::string_view text = trimmed(line);
        if (text.empty() || text == ".") return;
        if (text == "/" || isCommandLine(line)) return command(text);
        open_ = true;
        plsql_ = startsPlsql(line);
        buffer_.clear();
        read(line);
    }

    void command(std::string_view text) {
        replay_.commands.emplace_back(text);
        if (!isAllowedCommand(text)) {
            replay_.forbidden.emplace_back(text);
            return;
        }
        const std::vector<std::string> words = wordsOf(text);
        if (words.front() == "set") blankLines_ = true;
        if (words.front() == "exit") exited_ = true;
    }

    void run() {
        replay_.statements.push_back(joined(buffer_));
        open_ = false;
    }
    void abandon() {
        replay_.abandoned.push_back(joined(buffer_));
        open_ = false;
    }

    SqlplusReplay replay_;
    std::vector<std::string> buffer_;
    bool open_ = false;
    bool plsql_ = false;
    bool blankLines_ = false;
    bool exited_ = false;
};

}  // namespace

SqlplusReplay replayLikeSqlplus(std::string_view script) {
    Reader reader;
    for (std::size_t start = 0; start < script.size() && !reader.exited();) {
        std::size_t end = script.find('\n', start);
        if (end == std::string_view::npos) end = script.size();
        std::string_view line = script.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        reader.read(line);
        start = end + 1;
    }
    return reader.finish();
}

}  // namespace restorix::test
