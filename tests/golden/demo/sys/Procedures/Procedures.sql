Create or replace Function SYS. DATABASE_NAME RETURN VARCHAR2 IS 
BEGIN 
  RETURN 'ORCL'; 
END; 

/


Exit;