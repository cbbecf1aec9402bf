insert into SALES.CUSTOMERS values ('1001','Smith '||CHR(38)||' Sons','GB','25000.5',NULL ) ; 
Commit;
insert into SALES.CUSTOMERS values ('1002','Café Müller','DE','12000',NULL ) ; 
Commit;
insert into SALES.CUSTOMERS values ('1003','O''Brien Ltd','IE',NULL,NULL ) ; 
Commit;
insert into SALES.CUSTOMERS values ('1004','Nordwind','DK',NULL,NULL ) ; 
Commit;
Exit;