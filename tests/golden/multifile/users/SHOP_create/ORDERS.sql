SET SQLBLANKLINES ON
Create Table SHOP.ORDERS( "ID" Number(8), "CUSTOMER_ID" Number(6), "PRODUCT_ID" Number(6), "ORDERED" Date, "STATUS" Varchar2(10), "NOTE" Varchar2(200));
Exit;