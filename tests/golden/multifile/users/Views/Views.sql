SET SQLBLANKLINES ON
Create or Replace View SCOTT.EMP_DEPT as select e.EMPNO, e.ENAME, d.DNAME from EMP e, DEPT d where e.DEPTNO = d.DEPTNO;


Exit;