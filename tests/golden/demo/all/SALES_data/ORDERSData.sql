insert into SALES.ORDERS values ('5001','1001','7654',NULL,'SHIPPED','1234.56',NULL,'3' ) ; 
Commit;
insert into SALES.ORDERS values ('5002','1002','7499',NULL,'OPEN','99.99',NULL,'1' ) ; 
Commit;
insert into SALES.ORDERS values ('5003','1003',NULL,NULL,'CANCELLED','0',NULL,NULL ) ; 
Commit;
insert into SALES.ORDERS values ('5004','1004','7654',NULL,'OPEN','-42.5',NULL,'12' ) ; 
Commit;
Exit;