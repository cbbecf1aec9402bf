Create Table SALES.ORDER_LOG( "LOG_ID" Number, "MESSAGE" Varchar2(100), "LOGGED" Date);
Exit;