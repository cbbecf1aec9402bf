SET SQLBLANKLINES ON
insert into SHOP.PRODUCTS values ('100','Slide rule','19.99',TO_DATE('2005-01-10 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.PRODUCTS values ('101','Abacus','7.5',TO_DATE('2005-02-11 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.PRODUCTS values ('102','Compass','3.25',TO_DATE('2006-03-12 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.PRODUCTS values ('103','Logarithm tables','12',TO_DATE('2006-04-13 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.PRODUCTS values ('104','Protractor',NULL,TO_DATE('2007-05-14 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into SHOP.PRODUCTS values ('105','Planimeter','240.8',TO_DATE('2007-06-15 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
Exit;