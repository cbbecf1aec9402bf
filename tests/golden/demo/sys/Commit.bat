@echo Restorix for Oracle 
@echo Replays the recovered scripts through sqlplus.
@echo Recovered database processing script.
set NLS_LANG=.WE8MSWIN1252
 %1\sqlplus.exe %2/%3@%4 @ Users\Users.sql

 %1\sqlplus.exe %2/%3@%4 @ SYS_create\DUAL.sql
 %1\sqlplus.exe %2/%3@%4 @ SYS_create\STMT_AUDIT_OPTION_MAP.sql
 %1\sqlplus.exe %2/%3@%4 @ SYS_create\AUDIT_ACTIONS.sql
 %1\sqlplus.exe %2/%3@%4 @ SYS_data\DUALData.sql
 %1\sqlplus.exe %2/%3@%4 @ SYS_data\STMT_AUDIT_OPTION_MAPData.sql
 %1\sqlplus.exe %2/%3@%4 @ SYS_data\AUDIT_ACTIONSData.sql

 %1\sqlplus.exe %2/%3@%4 @ Index\Index.sql


 %1\sqlplus.exe %2/%3@%4 @ Constraints\Constraints.sql

 %1\sqlplus.exe %2/%3@%4 @ Triggers\Triggers.sql
 %1\sqlplus.exe %2/%3@%4 @ Views\Views.sql

 %1\sqlplus.exe %2/%3@%4 @ Procedures\Procedures.sql
