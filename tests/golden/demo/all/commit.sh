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
replay 'SYS_create/DUAL.sql'
replay 'SYS_create/STMT_AUDIT_OPTION_MAP.sql'
replay 'SYS_create/AUDIT_ACTIONS.sql'
replay 'SYS_data/DUALData.sql'
replay 'SYS_data/STMT_AUDIT_OPTION_MAPData.sql'
replay 'SYS_data/AUDIT_ACTIONSData.sql'
replay 'SYSTEM_create/HELP.sql'
replay 'SYSTEM_create/REPCAT$_AUDIT_COLUMN.sql'
replay 'SYSTEM_data/HELPData.sql'
replay 'SYSTEM_data/REPCAT$_AUDIT_COLUMNData.sql'
replay 'OUTLN_create/OL$.sql'
replay 'OUTLN_data/OL$Data.sql'
replay 'HR_create/DEPARTMENTS.sql'
replay 'HR_create/EMP.sql'
replay 'HR_create/EMP_DOCUMENTS.sql'
replay 'HR_create/JOB_HISTORY.sql'
replay 'HR_create/OLD_PAYROLL.sql'
replay 'HR_data/DEPARTMENTSData.sql'
replay 'HR_data/EMPData.sql'
replay 'HR_data/EMP_DOCUMENTSData.sql'
replay 'HR_data/JOB_HISTORYData.sql'
replay 'HR_data/OLD_PAYROLLData.sql'
replay 'SALES_create/CUSTOMERS.sql'
replay 'SALES_create/ORDERS.sql'
replay 'SALES_create/ORDER_LOG.sql'
replay 'SALES_create/PRODUCT_CODES.sql'
replay 'SALES_data/CUSTOMERSData.sql'
replay 'SALES_data/ORDERSData.sql'
replay 'SALES_data/ORDER_LOGData.sql'
replay 'SALES_data/PRODUCT_CODESData.sql'
replay 'Index/Index.sql'
replay 'Constraints/Constraints.sql'
replay 'Triggers/Triggers.sql'
replay 'Views/Views.sql'
replay 'Procedures/Procedures.sql'
