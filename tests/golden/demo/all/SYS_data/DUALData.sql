insert into SYS.DUAL values ('X' ) ; 
Commit;
Exit;