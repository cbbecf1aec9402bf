#include "output/shell_files.h"

#include <filesystem>

#include "output/output_files.h"

namespace restorix {
namespace {

constexpr std::string_view kImportSh = R"sh(#!/bin/sh
# Restorix for Oracle: asks for the Oracle login, then replays the recovered
# scripts through commit.sh beside this file. The login is handed over in the
# environment, never on a command line.
printf 'Enter Oracle user name (for example System): '
IFS= read -r RESTORIX_USER
printf 'Enter Oracle password: '
if [ -t 0 ]; then
    # Typed without echo; the terminal gets its echo back however this ends.
    trap 'stty echo' EXIT
    trap 'stty echo; exit 130' INT TERM HUP
    stty -echo
    IFS= read -r RESTORIX_PASSWORD
    stty echo
    trap - EXIT INT TERM HUP
    echo
else
    IFS= read -r RESTORIX_PASSWORD
fi
printf 'Enter Oracle connect string (for example ORCL): '
IFS= read -r RESTORIX_CONNECT
echo
export RESTORIX_USER RESTORIX_PASSWORD RESTORIX_CONNECT
exec sh "$(dirname -- "$0")/commit.sh"
)sh";

constexpr std::string_view kCommitShIntro = R"sh(#!/bin/sh
# Restorix for Oracle: replays the recovered scripts through sqlplus, in the
# order Commit.bat does. Run import.sh, or set RESTORIX_USER, RESTORIX_PASSWORD
# and RESTORIX_CONNECT and run this file. The first script sqlplus fails on
# ends the replay with sqlplus's exit status.
)sh";

// After NLS_LANG: the sqlplus to use and the function every replay line calls.
// printf is built into the shell, so the connect line with the password
// reaches sqlplus's standard input without showing in any process list.
constexpr std::string_view kCommitShBody = R"sh(cd -- "$(dirname -- "$0")" || exit 1
if [ -n "$ORACLE_HOME" ] && [ -x "$ORACLE_HOME/bin/sqlplus" ]; then
    sqlplus=$ORACLE_HOME/bin/sqlplus
else
    sqlplus=sqlplus
fi
at=
if [ -n "$RESTORIX_CONNECT" ]; then
    at="@$RESTORIX_CONNECT"
fi

replay() {
    if [ ! -r "$1" ]; then
        printf 'commit.sh: cannot read %s\n' "$1" >&2
        exit 1
    fi
    {
        printf 'connect %s/%s%s\n' "$RESTORIX_USER" "$RESTORIX_PASSWORD" "$at"
        tr -d '\r' < "$1"
    } | "$sqlplus" -S /nolog
    status=$?
    if [ "$status" -ne 0 ]; then
        printf 'commit.sh: sqlplus failed on %s with exit status %s\n' "$1" "$status" >&2
        exit "$status"
    fi
}

)sh";

}  // namespace

std::string importShText() { return std::string(kImportSh); }

std::string commitShHeader(std::string_view characterSet) {
    std::string header(kCommitShIntro);
    const std::string nlsLang = nlsLangValue(characterSet);
    if (!nlsLang.empty()) header += "NLS_LANG=" + nlsLang + "\nexport NLS_LANG\n";
    return header + std::string(kCommitShBody);
}

std::string commitShLines(const ReplayEntries& entries) {
    std::string out;
    for (const ReplayEntry& entry : entries) {
        out += "replay " + shellQuoted(outputPath({}, entry.relativePath).generic_string()) + "\n";
    }
    return out;
}

std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace restorix
