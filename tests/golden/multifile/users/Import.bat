echo OFF

echo:

echo *****************************************

echo       *Steps to import data*             

echo *****************************************

echo:

echo 1.Oracle User Name. For eg.

echo   ----------------

echo "System"

echo:

echo 2.Oracle Password. For eg.

echo   ---------------

echo "********"


echo:
echo 3.Oracle Server Name. For eg.

echo   ------------------

echo "Start-AllPrograms-Oracle-OracleDatabaseControlServerName"

echo:

echo *****************************************

echo:

echo *****************************************

echo:

echo Enter Oracle UserName
echo ---------------------
set/p Enter Oracle UserName=
echo:

echo Enter Oracle Password
echo ---------------------
set/p Enter Oracle Password=
echo:

echo Enter Oracle ServerName
echo -----------------------
set/p Enter Oracle ServerName=
echo:

Commit \bin %Enter Oracle UserName% %Enter Oracle Password% %Enter Oracle ServerName%

