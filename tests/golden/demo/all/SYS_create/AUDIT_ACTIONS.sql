Create Table SYS.AUDIT_ACTIONS( "ACTION" Number, "NAME" Varchar2(27));
Exit;