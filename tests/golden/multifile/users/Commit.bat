@echo Restorix for Oracle 
@echo Replays the recovered scripts through sqlplus.
@echo Recovered database processing script.
set NLS_LANG=.WE8MSWIN1252
 %1\sqlplus.exe %2/%3@%4 @ Users\Users.sql

 %1\sqlplus.exe %2/%3@%4 @ SYSTEM_create\HELP.sql
 %1\sqlplus.exe %2/%3@%4 @ SYSTEM_data\HELPData.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_create\DEPT.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_create\EMP.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_create\BONUS.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_create\AUDIT_TRAIL.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_data\DEPTData.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_data\EMPData.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_data\BONUSData.sql
 %1\sqlplus.exe %2/%3@%4 @ SCOTT_data\AUDIT_TRAILData.sql
 %1\sqlplus.exe %2/%3@%4 @ SHOP_create\CUSTOMERS.sql
 %1\sqlplus.exe %2/%3@%4 @ SHOP_create\PRODUCTS.sql
 %1\sqlplus.exe %2/%3@%4 @ SHOP_create\ORDERS.sql
 %1\sqlplus.exe %2/%3@%4 @ SHOP_data\CUSTOMERSData.sql
 %1\sqlplus.exe %2/%3@%4 @ SHOP_data\PRODUCTSData.sql
 %1\sqlplus.exe %2/%3@%4 @ SHOP_data\ORDERSData.sql

 %1\sqlplus.exe %2/%3@%4 @ Index\Index.sql


 %1\sqlplus.exe %2/%3@%4 @ Constraints\Constraints.sql

 %1\sqlplus.exe %2/%3@%4 @ Triggers\Triggers.sql
 %1\sqlplus.exe %2/%3@%4 @ Views\Views.sql

 %1\sqlplus.exe %2/%3@%4 @ Procedures\Procedures.sql
