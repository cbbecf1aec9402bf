SET SQLBLANKLINES ON
Create Table SALES.CUSTOMERS( "CUSTOMER_ID" Number(8), "NAME" Varchar2(60), "COUNTRY" Char(2), "CREDIT_LIMIT" Number(*,2), "SINCE" Timestamp(3) With Time Zone);
Exit;