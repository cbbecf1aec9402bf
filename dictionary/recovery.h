#pragma once
// One recovery's state and its one owner: the database and the catalog the
// analysis produces, the options it runs under and the analysis' stop and
// pause. Nothing of it is process-wide, so several recoveries (tests) run side
// by side. The analysis is the one job that writes it; the save and the
// previews are given it read-only (AnalysedDatabase).

#include "dictionary/catalog.h"
#include "dictionary/database.h"
#include "dictionary/recovery_options.h"
#include "platform/job_control.h"

namespace restorix {

// What the analysis produced and the options it ran under, read-only: what
// the save takes, so that it cannot change them.
struct AnalysedDatabase {
    const Database& database;
    const Catalog& catalog;
    const RecoveryOptions& options;
};

struct Recovery {
    Database database;
    Catalog catalog;
    RecoveryOptions options;
    // The analysis' stop flag and pause; the previews read rows under it too.
    JobControl analysisControl;

    AnalysedDatabase analysed() const { return {database, catalog, options}; }
    // What the end of a completed save frees: the datafiles and the catalog's
    // main lists.
    void releaseAfterSaving() {
        database.datafiles.close();
        catalog.releaseMainLists();
    }
};

}  // namespace restorix
