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
