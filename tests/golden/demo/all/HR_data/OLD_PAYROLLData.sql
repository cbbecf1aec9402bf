SET SQLBLANKLINES ON
insert into HR.OLD_PAYROLL values ('7839','5000' ) ; 
Commit;
Exit;