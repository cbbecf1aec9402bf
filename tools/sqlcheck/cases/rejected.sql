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
BEGIN
insert into HR.T values ('a' ) ;
END
/
BEGIN
insert into HR.T values ('a' ) ;
END;
