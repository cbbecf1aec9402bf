insert into HR.T values (INTERVAL '2-3' YEAR TO) ;
insert into HR.T values (INTERVAL '2-3' YEAR(9) TO DAY) ;
insert into HR.T values (INTERVAL '2-12' YEAR(9) TO MONTH) ;
insert into HR.T values (INTERVAL '123-3' YEAR TO MONTH) ;
insert into HR.T values (INTERVAL '2 3' YEAR(9) TO MONTH) ;
insert into HR.T values (INTERVAL '4 24:06:07' DAY(9) TO SECOND(9)) ;
insert into HR.T values (INTERVAL '4 05:06' DAY(9) TO SECOND(9)) ;
insert into HR.T values (INTERVAL '4 05:06:07.1234567890' DAY(9) TO SECOND(9)) ;
insert into HR.T values (HEXTORAW( ) ;
insert into HR.T values (HEXTORAW('0AG1')) ;
insert into HR.T values (HEXTORAX('0A')) ;
insert into HR.T values (UNISTR('R\00E')) ;
insert into HR.T values (BINARY_FLOAT_NAM) ;
insert into HR.T values (-BINARY_DOUBLE_INFINITE) ;
insert into HR.T values (1.5ff) ;
insert into HR.T values (TIMESTAMP '05.03.2011 12:20:30') ;
insert into HR.T values (TIMESTAMP '2011-03-05 12:20:30.5 02:00') ;
Create Table HR.X( "YM" Interval Year(3) To, "ID" Number(4));
Create Table HR.X( "R" Raw(), "ID" Number(4));
Create Table HR.X( "TZ" Timestamp(3) With Time, "ID" Number(4));
Create Table SALES.CODES( "ID" Number) Partition By Hash ("ID") (Partition "H1, Partition H2);
Create Table SALES.CODES( "ID" Number) Partition By Hash ("ID") (Partition 'H1', Partition "H2");
Create Table SALES.CODES( "ID" Number) Partition By Hash ("ID") (Partition "H""1", Partition "H2");
Create Table SALES.CODES( "ID" Number) Partition By Hash ("ID") (Partition "", Partition "H2");
Create Table SALES.DAYS( "D" Date, "ID" Number) Partition By Range ("D") Subpartition By Hash ("ID") (Partition "P1" Values Less Than (MAXVALUE) (Subpartition "P1_SUBPARTITION_NAME_31_BYTES_X"));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN'));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "PMAX" Values Less Than MAXVALUE);
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR:GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIA')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', NLS_CALENDAR=GREGORIAN)));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN', 'x')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2007-02-29 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 1900-02-29 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-13-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 24:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 0000-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE('-4713-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS', 'NLS_CALENDAR=GREGORIAN')));
Create Table SALES.DAYS( "D" Date) Partition By Range ("D") (Partition "P1" Values Less Than (TO_DATE(' 2008-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI', 'NLS_CALENDAR=GREGORIAN')));
BEGIN
insert into HR.T values ('a' ) ;
END
/
BEGIN
insert into HR.T values ('a' ) ;
END;
