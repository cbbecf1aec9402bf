SET SQLBLANKLINES ON
insert into SYS.DUAL values ('X' ) ; 
Commit;
Exit;