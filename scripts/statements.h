#pragma once
// Every statement and batch-file text the saving step writes: one include for
// the writers.

#include "scripts/batch_files.h"
#include "scripts/code_statements.h"
#include "scripts/constraint_statements.h"
#include "scripts/sql_names.h"
#include "scripts/table_statements.h"
