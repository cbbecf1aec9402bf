SET SQLBLANKLINES ON
Create Table SALES.PRODUCT_CODES( "CODE" Varchar2(12), "LABEL" Varchar2(40), "PICTURE" Long Raw, "WEIGHT" Float(63));
Exit;