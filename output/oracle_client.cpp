#include "output/oracle_client.h"

#include <fstream>

namespace restorix {
namespace {

constexpr char kOratabSeparator = ':';
constexpr char kOratabComment = '#';

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// The HOME field of one SID:HOME:FLAG line; empty for comments, blank lines
// and lines without a home.
std::string_view oratabHome(std::string_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() == kOratabComment) return {};
    const std::size_t first = line.find(kOratabSeparator);
    if (first == std::string_view::npos) return {};
    const std::size_t second = line.find(kOratabSeparator, first + 1);
    const std::size_t end = second == std::string_view::npos ? line.size() : second;
    return trimmed(line.substr(first + 1, end - first - 1));
}

}  // namespace

std::optional<std::string> firstOratabHome(std::istream& oratab) {
    std::string line;
    while (std::getline(oratab, line)) {
        const std::string_view home = oratabHome(line);
        if (!home.empty()) return std::string(home);
    }
    return std::nullopt;
}

std::optional<std::string> findOracleHome(const std::optional<std::string>& givenHome,
                                          const char* environmentHome,
                                          const std::filesystem::path& oratabPath) {
    if (givenHome) return givenHome;
    if (environmentHome && *environmentHome) return std::string(environmentHome);
    std::ifstream oratab(oratabPath);
    if (!oratab) return std::nullopt;
    return firstOratabHome(oratab);
}

std::string oracleBinFolder(const std::optional<std::string>& oracleHome) {
    return oracleHome.value_or("") + std::string(kOracleBinSuffix);
}

}  // namespace restorix
