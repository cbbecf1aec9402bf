SET SQLBLANKLINES ON
Create or replace Procedure SCOTT. RAISE_SAL(p_empno NUMBER, p_pct NUMBER) IS 
BEGIN 
  UPDATE EMP SET SAL = SAL * (1 + p_pct / 100) WHERE EMPNO = p_empno; 
END; 

/

Create or replace Function SCOTT. ANNUAL_PAY(p_empno NUMBER) RETURN NUMBER IS 
  v NUMBER; 
BEGIN 
  SELECT SAL * 12 + NVL(COMM, 0) INTO v FROM EMP WHERE EMPNO = p_empno; 
  RETURN v; 
END; 

/


Exit;