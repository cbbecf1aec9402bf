SET SQLBLANKLINES ON
insert into HR.NOTES values ('1','plain','single piece',TO_DATE('2009-01-01 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into HR.NOTES values ('2','moved','the whole row lives in another block',TO_DATE('2009-01-02 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into HR.NOTES values ('3','chained','head here, rest elsewhere',TO_DATE('2009-01-03 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into HR.NOTES values ('4','split','0000-0001-0002-0003-0004-0005-0006-0007-0008-0009-0010-0011-0012-0013-0014-0015-0016-0017-0018-0019-0020-0021-0022-0023-0024-0025-0026-0027-0028-0029-0030-0031-0032-0033-0034-0035-0036-0037-0038-0039-0040-0041-0042-0043-0044-0045-0046-0047-0048-0049-0050-0051-0052-0053-0054-0055-0056-0057-0058-0059-0060-0061-0062-0063-0064-0065-0066-0067-0068-0069-',TO_DATE('2009-01-04 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into HR.NOTES values ('7','plain again',NULL,TO_DATE('2009-01-07 00:00:00','YYYY-MM-DD HH24:MI:SS') ) ; 
Commit;
insert into HR.NOTES values ('8','O''NEIL '||CHR(38)||' co','quoted text in a chain',NULL ) ; 
Commit;
Exit;