SET SQLBLANKLINES ON
Create Table SCOTT.EMP( "EMPNO" Number(4), "ENAME" Varchar2(10), "JOB" Varchar2(9), "MGR" Number(4), "HIREDATE" Date, "SAL" Number(7,2), "COMM" Number(7,2), "DEPTNO" Number(2));
Exit;