SET SQLBLANKLINES ON
Create Table HR.JOB_HISTORY( "EMPNO" Number(4), "START_DATE" Date, "END_DATE" Date, "JOB" Varchar2(10));
Exit;