@echo Restorix for Oracle 
@echo Replays the recovered scripts through sqlplus.
@echo Recovered database processing script.
set NLS_LANG=.WE8MSWIN1252
 %1\sqlplus.exe %2/%3@%4 @ Users\Users.sql

 %1\sqlplus.exe %2/%3@%4 @ SYSTEM_create\HELP.sql
 %1\sqlplus.exe %2/%3@%4 @ SYSTEM_create\REPCAT$_AUDIT_COLUMN.sql
 %1\sqlplus.exe %2/%3@%4 @ SYSTEM_data\HELPData.sql
 %1\sqlplus.exe %2/%3@%4 @ SYSTEM_data\REPCAT$_AUDIT_COLUMNData.sql
 %1\sqlplus.exe %2/%3@%4 @ OUTLN_create\OL$.sql
 %1\sqlplus.exe %2/%3@%4 @ OUTLN_data\OL$Data.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_create\DEPARTMENTS.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_create\EMP.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_create\EMP_DOCUMENTS.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_create\JOB_HISTORY.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_create\OLD_PAYROLL.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\DEPARTMENTSData.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\EMPData.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\EMP_DOCUMENTSData.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\JOB_HISTORYData.sql
 %1\sqlplus.exe %2/%3@%4 @ HR_data\OLD_PAYROLLData.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_create\CUSTOMERS.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_create\ORDERS.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_create\ORDER_LOG.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_create\PRODUCT_CODES.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_data\CUSTOMERSData.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_data\ORDERSData.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_data\ORDER_LOGData.sql
 %1\sqlplus.exe %2/%3@%4 @ SALES_data\PRODUCT_CODESData.sql

 %1\sqlplus.exe %2/%3@%4 @ Index\Index.sql


 %1\sqlplus.exe %2/%3@%4 @ Constraints\Constraints.sql

 %1\sqlplus.exe %2/%3@%4 @ Triggers\Triggers.sql
 %1\sqlplus.exe %2/%3@%4 @ Views\Views.sql

 %1\sqlplus.exe %2/%3@%4 @ Procedures\Procedures.sql
