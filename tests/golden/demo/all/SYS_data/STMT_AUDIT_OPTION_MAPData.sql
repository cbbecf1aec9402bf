SET SQLBLANKLINES ON
insert into SYS.STMT_AUDIT_OPTION_MAP values ('3','ALTER SYSTEM','0' ) ; 
Commit;
insert into SYS.STMT_AUDIT_OPTION_MAP values ('4','SYSTEM AUDIT','0' ) ; 
Commit;
insert into SYS.STMT_AUDIT_OPTION_MAP values ('5','CREATE SESSION','0' ) ; 
Commit;
Exit;