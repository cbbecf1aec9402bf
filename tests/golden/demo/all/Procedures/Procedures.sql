SET SQLBLANKLINES ON
Create or replace Function SYS. DATABASE_NAME RETURN VARCHAR2 IS 
BEGIN 
  RETURN 'ORCL'; 
END; 

/

Create or replace Procedure HR. RAISE_SALARY(p_empno IN NUMBER, p_percent IN NUMBER) IS 
BEGIN 
  -- Raises one employee's salary by a percentage. This comment line is deliberately long so that its SOURCE$ row is stored with the long length form, as stored source lines of more than two hundred and fifty bytes are: the line goes on and on until it has passed that limit. 
  UPDATE EMP SET SAL = SAL * (1 + p_percent / 100) WHERE EMPNO = p_empno; 
  COMMIT; 
END; 

/

Create or replace Procedure HR. ADD_DEPARTMENT(p_id NUMBER, p_name VARCHAR2) IS 
BEGIN 
  INSERT INTO DEPARTMENTS (DEPARTMENT_ID, DEPARTMENT_NAME) VALUES (p_id, p_name); 
END; 

/

Create or replace Function HR. ANNUAL_SALARY(p_empno NUMBER) RETURN NUMBER IS 
  v_total NUMBER; 
BEGIN 
  SELECT SAL * 12 + NVL(COMM, 0) INTO v_total FROM EMP WHERE EMPNO = p_empno; 
  RETURN v_total; 
END; 

/

Create or replace Procedure SALES. CLOSE_ORDER(p_order NUMBER) IS 
BEGIN 
  UPDATE ORDERS SET STATUS = 'SHIPPED' WHERE ORDER_ID = p_order; 
END; 

/

Create or replace Function SALES. CUSTOMER_TOTAL(p_customer NUMBER) RETURN NUMBER IS 
  v NUMBER; 
BEGIN 
  SELECT SUM(TOTAL) INTO v FROM ORDERS WHERE CUSTOMER_ID = p_customer; 
  RETURN NVL(v, 0); 
END; 

/


Exit;