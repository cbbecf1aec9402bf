SET SQLBLANKLINES ON
Create Table SHOP.CUSTOMERS( "ID" Number(6), "NAME" Varchar2(40), "CITY" Varchar2(30), "SINCE" Date);
Exit;