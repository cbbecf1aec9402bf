SET SQLBLANKLINES ON
Create Table SHOP.PRODUCTS( "ID" Number(6), "NAME" Varchar2(40), "PRICE" Number(8,2), "ADDED" Date);
Exit;