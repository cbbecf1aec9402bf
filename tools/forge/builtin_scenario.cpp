// The small scenario the forge writes when it is given none: the usual
// users and roles, and the classic SCOTT schema.

#include <cstdio>

#include "tools/forge/scenario.h"

namespace restorix::forge {

namespace {

// Enough rows that the table's segment spans several blocks, its extents
// taking turns with the other tables'.
constexpr int kAuditRows = 600;

void addAuditTrail(SchemaDef& scott) {
    TableDef& audit = scott.table("AUDIT_TRAIL");
    audit.column("ID", "NUMBER(8)", true)
        .column("EMPNO", "NUMBER(4)")
        .column("ACTION", "VARCHAR2(20)")
        .column("AT", "TIMESTAMP(3)")
        .column("DETAIL", "VARCHAR2(100)");
    static const char* const kActions[] = {"LOGIN", "UPDATE SAL", "LOGOUT", "PRINT PAYSLIP"};
    for (int i = 1; i <= kAuditRows; ++i) {
        char at[32];
        std::snprintf(at, sizeof at, "2009-%02d-%02d %02d:%02d:%02d.%03d", 1 + i % 12, 1 + i % 28, i % 24, i % 60,
                      (i * 7) % 60, (i * 37) % 1000);
        audit.row({std::to_string(i), std::to_string(7369 + i % 20), kActions[i % 4], at,
                   i % 3 == 0 ? Value() : Value("entry " + std::to_string(i) + " of the payroll audit")});
    }
    scott.primaryKey("AUDIT_TRAIL_PK", "AUDIT_TRAIL", {"ID"});
}

void addSys(Scenario& s) {
    SchemaDef& sys = s.user("SYS", 0);
    sys.table("DUAL", 258).column("DUMMY", "VARCHAR2(1)").row({"X"});
    sys.table("SYSTEM_PRIVILEGE_MAP", 311)
        .column("PRIVILEGE", "NUMBER", true)
        .column("NAME", "VARCHAR2(40)", true)
        .column("PROPERTY", "NUMBER", true)
        .row({"-3", "ALTER SYSTEM", "0"})
        .row({"-4", "AUDIT SYSTEM", "0"})
        .row({"-5", "CREATE SESSION", "0"});
    sys.view("USER_OBJECTS_LITE", "select OBJ#, NAME from OBJ$ where OWNER# = USERENV('SCHEMAID')", {"OBJ#", "NAME"})
        .objectNumber = 2300;
}

void addScott(Scenario& s) {
    SchemaDef& scott = s.user("SCOTT", 31);
    scott.table("DEPT")
        .column("DEPTNO", "NUMBER(2)", true)
        .column("DNAME", "VARCHAR2(14)")
        .column("LOC", "VARCHAR2(13)")
        .row({"10", "ACCOUNTING", "NEW YORK"})
        .row({"20", "RESEARCH", "DALLAS"})
        .row({"30", "SALES", "CHICAGO"})
        .row({"40", "OPERATIONS", "BOSTON"});
    scott.table("EMP")
        .column("EMPNO", "NUMBER(4)", true)
        .column("ENAME", "VARCHAR2(10)")
        .column("JOB", "VARCHAR2(9)")
        .column("MGR", "NUMBER(4)")
        .column("HIREDATE", "DATE")
        .column("SAL", "NUMBER(7,2)")
        .column("COMM", "NUMBER(7,2)")
        .column("DEPTNO", "NUMBER(2)")
        .row({"7839", "KING", "PRESIDENT", std::nullopt, "1981-11-17", "5000", std::nullopt, "10"})
        .row({"7698", "BLAKE", "MANAGER", "7839", "1981-05-01", "2850", std::nullopt, "30"})
        .row({"7782", "CLARK", "MANAGER", "7839", "1981-06-09", "2450", std::nullopt, "10"})
        .row({"7566", "JONES", "MANAGER", "7839", "1981-04-02", "2975", std::nullopt, "20"})
        .row({"7654", "MARTIN", "SALESMAN", "7698", "1981-09-28", "1250", "1400", "30"})
        .row({"7499", "ALLEN", "SALESMAN", "7698", "1981-02-20", "1600", "300", "30"})
        .row({"7844", "TURNER", "SALESMAN", "7698", "1981-09-08", "1500", "0", "30"})
        .row({"7900", "JAMES", "CLERK", "7698", "1981-12-03", "950", std::nullopt, "30"})
        .row({"7521", "WARD", "SALESMAN", "7698", "1981-02-22", "1250", "500", "30"})
        .row({"7902", "FORD", "ANALYST", "7566", "1981-12-03", "3000", std::nullopt, "20"})
        .row({"7369", "SMITH", "CLERK", "7902", "1980-12-17", "800", std::nullopt, "20"})
        .row({"7788", "SCOTT", "ANALYST", "7566", "1987-04-19", "3000", std::nullopt, "20"})
        .row({"7876", "ADAMS", "CLERK", "7788", "1987-05-23", "1100", std::nullopt, "20"})
        .row({"7934", "MILLER", "CLERK", "7782", "1982-01-23", "1300", std::nullopt, "10"})
        .row({"7935", "O'NEIL", "CLERK", "7782", "1982-01-24", "1200", std::nullopt, "10"}, RowStorage::Deleted);
    scott.table("BONUS")
        .column("ENAME", "VARCHAR2(10)")
        .column("JOB", "VARCHAR2(9)")
        .column("SAL", "NUMBER")
        .column("COMM", "NUMBER");
    addAuditTrail(scott);
    scott.primaryKey("PK_DEPT", "DEPT", {"DEPTNO"});
    scott.primaryKey("PK_EMP", "EMP", {"EMPNO"});
    scott.foreignKey("FK_DEPTNO", "EMP", {"DEPTNO"}, "", "PK_DEPT");
    scott.foreignKey("FK_MGR", "EMP", {"MGR"}, "", "PK_EMP");
    scott.check("CK_SAL", "EMP", "SAL > 0");
    scott.view("EMP_DEPT", "select e.EMPNO, e.ENAME, d.DNAME from EMP e, DEPT d where e.DEPTNO = d.DEPTNO",
               {"EMPNO", "ENAME", "DNAME"});
    TriggerDef& t = scott.trigger("EMP_SAL_CHECK", TriggerTiming::BeforeEachRow, "EMP",
                                  "begin\n  if :new.sal < 0 then\n    raise_application_error(-20001, 'negative salary');\n"
                                  "  end if;\nend;");
    t.onInsert = true;
    t.onUpdate = true;
    t.when = "new.sal is not null";
    scott.procedure("RAISE_SAL", "PROCEDURE RAISE_SAL(p_empno NUMBER, p_pct NUMBER) IS\nBEGIN\n"
                                 "  UPDATE EMP SET SAL = SAL * (1 + p_pct / 100) WHERE EMPNO = p_empno;\nEND;\n");
    scott.function("ANNUAL_PAY", "FUNCTION ANNUAL_PAY(p_empno NUMBER) RETURN NUMBER IS\n  v NUMBER;\nBEGIN\n"
                                 "  SELECT SAL * 12 + NVL(COMM, 0) INTO v FROM EMP WHERE EMPNO = p_empno;\n"
                                 "  RETURN v;\nEND;\n");
}

}  // namespace

Scenario builtinScenario() {
    Scenario s;
    addSys(s);
    s.role("PUBLIC", 1);
    s.role("CONNECT", 2);
    s.role("RESOURCE", 3);
    s.role("DBA", 4);
    SchemaDef& system = s.user("SYSTEM", 5);
    system.table("HELP", 4600)
        .column("TOPIC", "VARCHAR2(50)", true)
        .column("SEQ", "NUMBER", true)
        .column("INFO", "VARCHAR2(80)")
        .row({"@", "1", std::nullopt})
        .row({"COPY", "2", "COPY copies data from a query to a table"});
    system.primaryKey("HELP_TOPIC_SEQ", "HELP", {"TOPIC", "SEQ"});
    addScott(s);
    return s;
}

}  // namespace restorix::forge
