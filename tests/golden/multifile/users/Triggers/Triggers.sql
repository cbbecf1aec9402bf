SET SQLBLANKLINES ON
Create or Replace Trigger SCOTT.EMP_SAL_CHECK before insert or update on SCOTT.EMP FOR EACH ROW WHEN (new.sal is not null) begin
  if :new.sal < 0 then
    raise_application_error(-20001, 'negative salary');
  end if;
end;
/


Exit;