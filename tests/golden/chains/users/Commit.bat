@echo Restorix for Oracle 
@echo Replays the recovered scripts through sqlplus.
@echo Recovered database processing script.
set NLS_LANG=.WE8MSWIN1252
 %1\sqlplus.exe %2/%3@%4 @ Users\Users.sql

 %1\sqlplus.exe %2/%3@%4 @ HR_create\NOTES.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_create\TAGS.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\NOTESData.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\TAGSData.sql

 %1\sqlplus.exe %2/%3@%4 @ Index\Index.sql


 %1\sqlplus.exe %2/%3@%4 @ Constraints\Constraints.sql

 %1\sqlplus.exe %2/%3@%4 @ Triggers\Triggers.sql
 %1\sqlplus.exe %2/%3@%4 @ Views\Views.sql

 %1\sqlplus.exe %2/%3@%4 @ Procedures\Procedures.sql
