SET SQLBLANKLINES ON
Create Table HR.OLD_PAYROLL( "EMPNO" Number(4), "PAID" Number(9,2));
Exit;