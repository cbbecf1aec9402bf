SET SQLBLANKLINES ON
Create Table SCOTT.DEPT( "DEPTNO" Number(2), "DNAME" Varchar2(14), "LOC" Varchar2(13));
Exit;