SET SQLBLANKLINES ON
Create Table SYS.DUAL( "DUMMY" Varchar2(1));
Exit;