Create Table HR.DEPARTMENTS( "DEPARTMENT_ID" Number(4), "DEPARTMENT_NAME" Varchar2(30), "LOCATION" Varchar2(30));
Exit;