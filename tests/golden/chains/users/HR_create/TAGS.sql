SET SQLBLANKLINES ON
Create Table HR.TAGS( "NOTE_ID" Number(4), "TAG" Varchar2(20));
Exit;