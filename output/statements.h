#pragma once
// Every statement and batch-file text the saving step writes: one include for
// the writers.

#include "output/batch_files.h"
#include "output/code_statements.h"
#include "output/constraint_statements.h"
#include "output/sql_names.h"
#include "output/table_statements.h"
