SET SQLBLANKLINES ON
insert into SALES.CUSTOMERS values ('1001','Smith '||CHR(38)||' Sons','GB','25000.5',TO_TIMESTAMP_TZ('2004-05-06 10:00:00.125 +01:00','YYYY-MM-DD HH24:MI:SS.FF TZH:TZM') ) ; 
Commit;
insert into SALES.CUSTOMERS values ('1002','Café Müller','DE','12000',TO_TIMESTAMP_TZ('2005-01-31 23:30:00 -05:00','YYYY-MM-DD HH24:MI:SS TZH:TZM') ) ; 
Commit;
insert into SALES.CUSTOMERS values ('1003','O''Brien Ltd','IE',NULL,NULL ) ; 
Commit;
insert into SALES.CUSTOMERS values ('1004','Nordwind','DK',NULL,NULL ) ; 
Commit;
Exit;