#!/bin/sh
# Restorix for Oracle: replays the recovered scripts through sqlplus, in the
# order Commit.bat does. Run import.sh, or set RESTORIX_USER, RESTORIX_PASSWORD
# and RESTORIX_CONNECT and run this file. The first script sqlplus fails on
# ends the replay with sqlplus's exit status.
NLS_LANG=.WE8MSWIN1252
export NLS_LANG
cd -- "$(dirname -- "$0")" || exit 1
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

replay 'Users/Users.sql'
replay 'SYSTEM_create/HELP.sql'
replay 'SYSTEM_data/HELPData.sql'
replay 'SCOTT_create/DEPT.sql'
replay 'SCOTT_create/EMP.sql'
replay 'SCOTT_create/BONUS.sql'
replay 'SCOTT_create/AUDIT_TRAIL.sql'
replay 'SCOTT_data/DEPTData.sql'
replay 'SCOTT_data/EMPData.sql'
replay 'SCOTT_data/BONUSData.sql'
replay 'SCOTT_data/AUDIT_TRAILData.sql'
replay 'SHOP_create/CUSTOMERS.sql'
replay 'SHOP_create/PRODUCTS.sql'
replay 'SHOP_create/ORDERS.sql'
replay 'SHOP_data/CUSTOMERSData.sql'
replay 'SHOP_data/PRODUCTSData.sql'
replay 'SHOP_data/ORDERSData.sql'
replay 'Index/Index.sql'
replay 'Constraints/Constraints.sql'
replay 'Triggers/Triggers.sql'
replay 'Views/Views.sql'
replay 'Procedures/Procedures.sql'
