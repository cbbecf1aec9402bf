SET SQLBLANKLINES ON
insert into SYS.AUDIT_ACTIONS values ('0','UNKNOWN' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('1','CREATE TABLE' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('2','INSERT' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('3','SELECT' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('4','CREATE CLUSTER' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('5','ALTER CLUSTER' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('6','UPDATE' ) ; 
Commit;
insert into SYS.AUDIT_ACTIONS values ('7','DELETE' ) ; 
Commit;
Exit;