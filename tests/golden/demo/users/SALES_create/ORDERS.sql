SET SQLBLANKLINES ON
Create Table SALES.ORDERS( "ORDER_ID" Number(10), "CUSTOMER_ID" Number(8), "SALES_REP" Number(4), "ORDER_DATE" Timestamp(6) With Local Time Zone, "STATUS" Varchar2(10), "TOTAL" Number(12,2), "SOURCE_ROW" Rowid, "ITEMS" Number(3));
Exit;