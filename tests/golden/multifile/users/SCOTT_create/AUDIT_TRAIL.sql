SET SQLBLANKLINES ON
Create Table SCOTT.AUDIT_TRAIL( "ID" Number(8), "EMPNO" Number(4), "ACTION" Varchar2(20), "AT" Timestamp(3), "DETAIL" Varchar2(100));
Exit;