#!/bin/sh
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
