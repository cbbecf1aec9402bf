SET SQLBLANKLINES ON
Create Table HR.NOTES( "ID" Number(4), "TITLE" Varchar2(30), "BODY" Varchar2(400), "WRITTEN" Date);
Exit;