SET SQLBLANKLINES ON
insert into SHOP.CUSTOMERS values ('1','Ada Lovelace','London',TO_DATE('2001-03-14 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.CUSTOMERS values ('2','Blaise Pascal','Clermont',TO_DATE('2002-06-19 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.CUSTOMERS values ('3','Carl Gauss',NULL,TO_DATE('2003-04-30 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.CUSTOMERS values ('4','Dora Maar','Paris',TO_DATE('2004-11-22 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.CUSTOMERS values ('5','Emmy Noether','Erlangen',NULL ) ; 
Commit;
Exit;