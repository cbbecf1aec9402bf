SET SQLBLANKLINES ON
Create Table HR.EMP( "EMPNO" Number(4), "ENAME" Varchar2(10), "JOB" Char(9), "MGR" Number(4), "HIREDATE" Date, "SAL" Number(7,2), "COMM" Number(7,2), "DEPTNO" Number(4), "BONUS_RATE" Float(126), "LAST_LOGIN" Timestamp(6));
Exit;