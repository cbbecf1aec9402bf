SET SQLBLANKLINES ON
insert into HR.DEPARTMENTS values ('10','Administration','Seattle' ) ; 
Commit;
insert into HR.DEPARTMENTS values ('20','Marketing','Toronto' ) ; 
Commit;
insert into HR.DEPARTMENTS values ('30','R'||CHR(38)||'D','Munich' ) ; 
Commit;
insert into HR.DEPARTMENTS values ('40','Sales',NULL ) ; 
Commit;
Exit;