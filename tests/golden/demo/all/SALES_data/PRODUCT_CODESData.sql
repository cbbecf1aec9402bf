SET SQLBLANKLINES ON
insert into SALES.PRODUCT_CODES values ('P-100','Widget',HEXTORAW('89504E470D0A1A0A'),'1.25' ) ; 
Commit;
insert into SALES.PRODUCT_CODES values ('P-200','Gadget '||CHR(38)||' Co',NULL,'0.003' ) ; 
Commit;
Exit;