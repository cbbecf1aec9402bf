SET SQLBLANKLINES ON
Create Table SYSTEM.HELP( "TOPIC" Varchar2(50), "SEQ" Number, "INFO" Varchar2(80));
Exit;