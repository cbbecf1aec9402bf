Create Table SYS.STMT_AUDIT_OPTION_MAP( "OPTION#" Number, "NAME" Varchar2(40), "PROPERTY" Number);
Exit;