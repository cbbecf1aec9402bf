insert into HR.T values (INTERVAL '-2-3' YEAR(9) TO MONTH,INTERVAL '12-11' YEAR TO MONTH,INTERVAL '4 05:06:07.123456789' DAY(9) TO SECOND(9)) ;
insert into HR.T values (TIMESTAMP '2009-01-16 09:00:00',TIMESTAMP '2011-03-05 12:20:30.5 +02:00',TIMESTAMP '2011-03-05 12:20:30 Europe/Paris') ;
insert into HR.T values (BINARY_FLOAT_NAN,-BINARY_FLOAT_INFINITY,BINARY_DOUBLE_NAN,BINARY_DOUBLE_INFINITY,1.5f,-0.1d,1e+20d) ;
insert into HR.T values (HEXTORAW('0AFF'||
'CAFE'),UNISTR('R\00E9\D83D\DE00\\')) ;
SET SQLBLANKLINES ON
Create or Replace View HR.V as select 1 a

from dual;
BEGIN EXECUTE IMMEDIATE 'Create or Replace View HR.V as select 1 a'||CHR(10)||'/'||CHR(10)||'from dual'; END;
/
DECLARE
 statement_text DBMS_SQL.VARCHAR2S;
 cursor_id INTEGER;
BEGIN
 statement_text(1) := 'Create or Replace View HR.V as sel';
 statement_text(2) := 'ect 1 a from ''x'''||CHR(38)||'y'||
'dual';
 cursor_id := DBMS_SQL.OPEN_CURSOR;
 DBMS_SQL.PARSE(cursor_id, statement_text, 1, 2, FALSE, DBMS_SQL.NATIVE);
 DBMS_SQL.CLOSE_CURSOR(cursor_id);
END;
/
Create Table SALES.ORDERS_BY_DAY( "K1" Date, "K2" Number(4)) Partition By Range ("K1", "K2") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), 10), Partition "P 2" Values Less Than (TO_DATE(' 2008-02-29 23:59:59', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE), Partition "PMAX" Values Less Than (MAXVALUE, MAXVALUE));
Create Table SALES.REGIONS( "REGION" Varchar2(2)) Partition By List ("REGION") (Partition "P_EAST" Values ('E', 'NE'), Partition "P_OTHER" Values (DEFAULT));
Create Table SALES.CODES( "ID" Number) Partition By Hash ("ID") (Partition "H1", Partition "h2");
Create Table SALES.DAYS( "D" Date, "ID" Number) Partition By Range ("D") Subpartition By Hash ("ID") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')) (Subpartition "P1_S1", Subpartition "P1_S2"), Partition "P2" Values Less Than (MAXVALUE) (Subpartition "P2_S1"));
Create Table SALES.DAYS( "D" Date, "R" Varchar2(1)) Partition By Range ("D") Subpartition By List ("R") (Partition "P1" Values Less Than (TO_DATE('-4712-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')) (Subpartition "S1" Values ('A'), Subpartition "S2" Values (DEFAULT)), Partition "P2" Values Less Than (MAXVALUE) (Subpartition "S3" Values ('A', 'B')));
Create Table SALES.WIDE( "D" Date,
 "COLUMN_NUMBER_000" Varchar2(4000),
 "COLUMN_NUMBER_001" Varchar2(4000),
 "COLUMN_NUMBER_002" Varchar2(4000),
 "COLUMN_NUMBER_003" Varchar2(4000),
 "COLUMN_NUMBER_004" Varchar2(4000),
 "COLUMN_NUMBER_005" Varchar2(4000),
 "COLUMN_NUMBER_006" Varchar2(4000),
 "COLUMN_NUMBER_007" Varchar2(4000),
 "COLUMN_NUMBER_008" Varchar2(4000),
 "COLUMN_NUMBER_009" Varchar2(4000),
 "COLUMN_NUMBER_010" Varchar2(4000),
 "COLUMN_NUMBER_011" Varchar2(4000),
 "COLUMN_NUMBER_012" Varchar2(4000),
 "COLUMN_NUMBER_013" Varchar2(4000),
 "COLUMN_NUMBER_014" Varchar2(4000),
 "COLUMN_NUMBER_015" Varchar2(4000),
 "COLUMN_NUMBER_016" Varchar2(4000),
 "COLUMN_NUMBER_017" Varchar2(4000),
 "COLUMN_NUMBER_018" Varchar2(4000),
 "COLUMN_NUMBER_019" Varchar2(4000),
 "COLUMN_NUMBER_020" Varchar2(4000),
 "COLUMN_NUMBER_021" Varchar2(4000),
 "COLUMN_NUMBER_022" Varchar2(4000),
 "COLUMN_NUMBER_023" Varchar2(4000),
 "COLUMN_NUMBER_024" Varchar2(4000),
 "COLUMN_NUMBER_025" Varchar2(4000),
 "COLUMN_NUMBER_026" Varchar2(4000),
 "COLUMN_NUMBER_027" Varchar2(4000),
 "COLUMN_NUMBER_028" Varchar2(4000),
 "COLUMN_NUMBER_029" Varchar2(4000),
 "COLUMN_NUMBER_030" Varchar2(4000),
 "COLUMN_NUMBER_031" Varchar2(4000),
 "COLUMN_NUMBER_032" Varchar2(4000),
 "COLUMN_NUMBER_033" Varchar2(4000),
 "COLUMN_NUMBER_034" Varchar2(4000),
 "COLUMN_NUMBER_035" Varchar2(4000),
 "COLUMN_NUMBER_036" Varchar2(4000),
 "COLUMN_NUMBER_037" Varchar2(4000),
 "COLUMN_NUMBER_038" Varchar2(4000),
 "COLUMN_NUMBER_039" Varchar2(4000),
 "COLUMN_NUMBER_040" Varchar2(4000),
 "COLUMN_NUMBER_041" Varchar2(4000),
 "COLUMN_NUMBER_042" Varchar2(4000),
 "COLUMN_NUMBER_043" Varchar2(4000),
 "COLUMN_NUMBER_044" Varchar2(4000),
 "COLUMN_NUMBER_045" Varchar2(4000),
 "COLUMN_NUMBER_046" Varchar2(4000),
 "COLUMN_NUMBER_047" Varchar2(4000),
 "COLUMN_NUMBER_048" Varchar2(4000),
 "COLUMN_NUMBER_049" Varchar2(4000),
 "COLUMN_NUMBER_050" Varchar2(4000),
 "COLUMN_NUMBER_051" Varchar2(4000),
 "COLUMN_NUMBER_052" Varchar2(4000),
 "COLUMN_NUMBER_053" Varchar2(4000),
 "COLUMN_NUMBER_054" Varchar2(4000),
 "COLUMN_NUMBER_055" Varchar2(4000),
 "COLUMN_NUMBER_056" Varchar2(4000),
 "COLUMN_NUMBER_057" Varchar2(4000),
 "COLUMN_NUMBER_058" Varchar2(4000),
 "COLUMN_NUMBER_059" Varchar2(4000)) Partition By Range ("D", "COLUMN_NUMBER_000") (Partition "P00" Values Less Than (TO_DATE(' 2000-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P01" Values Less Than (TO_DATE(' 2001-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P02" Values Less Than (TO_DATE(' 2002-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P03" Values Less Than (TO_DATE(' 2003-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P04" Values Less Than (TO_DATE(' 2004-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P05" Values Less Than (TO_DATE(' 2005-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P06" Values Less Than (TO_DATE(' 2006-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P07" Values Less Than (TO_DATE(' 2007-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "P08" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'), MAXVALUE),
 Partition "PMAX" Values Less Than (MAXVALUE, MAXVALUE));
