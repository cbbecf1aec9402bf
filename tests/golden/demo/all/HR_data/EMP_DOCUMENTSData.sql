SET SQLBLANKLINES ON
insert into HR.EMP_DOCUMENTS values ('1','7839','Contract',' ',' ',HEXTORAW('9E107D9D372BB6826BD81D3542A419D6'),'signed in triplicate' ) ; 
Commit;
insert into HR.EMP_DOCUMENTS values ('2','7499','A title that is deliberately longer than two hundred and fifty bytes, so that its column is stored with the long length form: a length marker byte followed by a two-byte length. Readers that do not follow the long form see a NULL here, readers that do see the whole text up to this very end.',NULL,NULL,HEXTORAW('00FF00FF'),NULL ) ; 
Commit;
Exit;