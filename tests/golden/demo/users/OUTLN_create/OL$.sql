SET SQLBLANKLINES ON
Create Table OUTLN.OL$( "OL_NAME" Varchar2(30), "SQL_TEXT" Long, "TIMESTAMP" Date);
Exit;