SET SQLBLANKLINES ON
Create Table SCOTT.BONUS( "ENAME" Varchar2(10), "JOB" Varchar2(9), "SAL" Number, "COMM" Number);
Exit;