SET SQLBLANKLINES ON
Create or Replace View SYS.ALL_DUAL as select DUMMY from SYS.DUAL;


Exit;