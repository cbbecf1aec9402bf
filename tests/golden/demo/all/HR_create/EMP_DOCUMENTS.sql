SET SQLBLANKLINES ON
Create Table HR.EMP_DOCUMENTS( "DOC_ID" Number(10), "EMPNO" Number(4), "TITLE" Varchar2(400), "BODY" Clob, "SCAN" Blob, "CHECKSUM" Raw(16), "NOTES" Long);
Exit;