SET SQLBLANKLINES ON
insert into SYSTEM.HELP values ('@','1',NULL ) ; 
Commit;
insert into SYSTEM.HELP values ('@','2',' @ ("at" sign)' ) ; 
Commit;
insert into SYSTEM.HELP values ('COPY','1','COPY copies data from a query to a table' ) ; 
Commit;
Exit;