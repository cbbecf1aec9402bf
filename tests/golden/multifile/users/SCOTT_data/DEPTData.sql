SET SQLBLANKLINES ON
insert into SCOTT.DEPT values ('10','ACCOUNTING','NEW YORK' ) ; 
Commit;
insert into SCOTT.DEPT values ('20','RESEARCH','DALLAS' ) ; 
Commit;
insert into SCOTT.DEPT values ('30','SALES','CHICAGO' ) ; 
Commit;
insert into SCOTT.DEPT values ('40','OPERATIONS','BOSTON' ) ; 
Commit;
Exit;