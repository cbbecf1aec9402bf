SET SQLBLANKLINES ON
insert into HR.TAGS values ('1','first' ) ; 
Commit;
insert into HR.TAGS values ('4','split' ) ; 
Commit;
insert into HR.TAGS values ('8','last' ) ; 
Commit;
Exit;