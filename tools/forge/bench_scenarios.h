#pragma once
// Scenarios for benchmarks: a large dictionary, and one big table whose
// blocks are prepared once and streamed until the file has its size.

#include "tools/forge/forge.h"
#include "tools/forge/scenario.h"

namespace restorix::forge {

// Twenty application schemas (users 40 to 59) with some 1,400 tables,
// 20,000 columns, 5,800 constraints and views, triggers, procedures and
// functions beside them; a few rows per table.
void addBenchDictionary(Scenario& scenario);

// Adds schema BENCH (user 60) with table BIG_TABLE (NUMBER, VARCHAR2, DATE,
// TIMESTAMP, CHAR, FLOAT, RAW and BINARY_DOUBLE columns, some values NULL;
// one NAME in seven with letters beyond ASCII; one live row in twenty
// chained within its block) and returns the source of its blocks: unique
// ids, values repeating every 64 blocks.
BulkTable addBenchTable(Scenario& scenario);

}  // namespace restorix::forge
