SET SQLBLANKLINES ON
insert into SALES.ORDER_LOG values ('3','after truncate',TO_DATE('2009-03-01 12:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
Exit;