SET SQLBLANKLINES ON
Create or Replace Trigger HR.EMP_SAL_GUARD before insert or update on HR.EMP FOR EACH ROW WHEN (new.sal > 10000) begin
  raise_application_error(-20001, 'salary too high for ' || :new.ename);
end;
/

Create or Replace Trigger HR.EMP_AUDIT_STMT after insert or update or delete on HR.EMP begin
  insert into JOB_HISTORY (EMPNO, START_DATE) values (0, sysdate);
end;
/

Create or Replace Trigger HR.DEPT_NAME_UPPER before insert on HR.DEPARTMENTS FOR EACH ROW begin
  :new.department_name := upper(:new.department_name);
end;
/

Create or Replace Trigger HR.LOGON_AUDIT after logon on database
 begin
  dbms_application_info.set_module('HR', null);
end;
/

Create or Replace Trigger SALES.ORDERS_STATUS_DEFAULT before insert on SALES.ORDERS FOR EACH ROW WHEN (new.status is null) begin
  :new.status := 'OPEN';
end;
/

Create or Replace Trigger SALES.OPEN_ORDERS_INSERT instead of insert on SALES.OPEN_ORDERS FOR EACH ROW begin
  insert into ORDERS (ORDER_ID, CUSTOMER_ID, STATUS, TOTAL)
  values (:new.order_id, :new.customer_id, 'OPEN', :new.total);
end;
/

Create or Replace Trigger SALES.ORDERS_DELETE_AFTER after delete on SALES.ORDERS FOR EACH ROW begin
  null;
end;
/


Exit;