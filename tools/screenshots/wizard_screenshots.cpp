// restorix-screenshots FOLDER: drives the wizard offscreen through one run on
// the demo datafile, with scripted answers, and saves a PNG of every window
// into FOLDER (the README's pictures).

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplashScreen>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "activitylog/activity_log.h"
#include "platform/clock.h"
#include "tests/wizard/wizard_harness.h"
#include "tools/forge/file_rows.h"
#include "tools/forge/forge.h"
#include "wizard/about_box.h"
#include "wizard/analysis_dialog.h"
#include "wizard/file_saving_dialog.h"
#include "wizard/main_window.h"
#include "wizard/preview_window.h"
#include "wizard/qt_text.h"
#include "wizard/view_log_box.h"
#include "wizard/wait_box.h"

using namespace restorix;
using namespace restorix::wizard;
namespace fs = std::filesystem;

namespace {

bool save(QWidget& window, const fs::path& file) {
    // Lets layouts and the coalesced progress settle before the picture is taken.
    test::pumpUntil([] { return false; }, std::chrono::milliseconds(150));
    const bool saved = window.grab().save(qText(file.string()), "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.string().c_str());
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: restorix-screenshots FOLDER\n");
        return 64;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    const fs::path out = fs::absolute(argv[1]);
    fs::create_directories(out);
    const fs::path scratch = forge::scratchPath("screenshots");
    fs::create_directories(scratch / "out");
    const std::string datafile = (scratch / "SYSTEM01.DBF").string();
    forge::writeDatafile(forge::loadScenario(std::string(RESTORIX_SOURCE_DIR) + "/share/restorix/demo.json"), datafile,
                         {.release = 10, .fileSize = 48ull << 20});

    test::ScriptedServices services;
    ActivityLog log([&] { return LogSettings{scratch.string(), scratch.string()}; });
    FixedClock clock(makeLocalTime(2026, 12, 6, 9, 5, 3));
    const std::string install = std::string(RESTORIX_SOURCE_DIR) + "/share/restorix";
    bool ok = true;
    {
        Wizard wizard(WizardContext{services, log, clock, install, WizardTimings{}});
        wizard.start();
        MainWindow& main = *wizard.mainWindow();
        services.datafile = datafile;
        main.browseButton()->click();
        main.optionButton(1)->click();
        ok &= save(main, out / "main-window.png");

        main.repairButton()->click();
        AnalysisDialog& analysis = *wizard.analysisDialog();
        test::pumpUntil([&] { return analysis.versionGroup()->title().startsWith("Oracle Version:"); });
        analysis.pauseOrResume();
        ok &= save(analysis, out / "analysis.png");
        analysis.pauseOrResume();

        test::pumpUntil([&] { return wizard.previewWindow() && wizard.previewWindow()->treeReady(); });
        PreviewWindow& preview = *wizard.previewWindow();
        ok &= save(preview, out / "preview-summary.png");
        QTreeWidgetItem* table = preview.findNode("HR", "Table", "DEPARTMENTS");
        table->parent()->parent()->setExpanded(true);
        table->parent()->setExpanded(true);
        preview.tree()->setCurrentItem(table);
        test::pumpUntil([&] { return !preview.previewRunning(); });
        ok &= save(preview, out / "preview-table.png");

        WaitBox wait(wizard.ui(), std::chrono::milliseconds(0));
        wait.show();
        ok &= save(wait, out / "wait-box.png");
        wait.hide();
        AboutBox about(wizard.context());
        about.show();
        ok &= save(about, out / "about-box.png");
        about.hide();

        services.folder = (scratch / "out").string();
        preview.saveButton()->click();
        FileSavingDialog& saving = *wizard.savingDialog();
        test::pumpUntil([&] { return saving.overallBar()->value() > 20 || wizard.viewLogBox(); });
        saving.pauseOrResume();
        ok &= save(saving, out / "file-saving.png");
        saving.pauseOrResume();
        test::pumpUntil([&] { return wizard.viewLogBox() != nullptr; });
        ok &= save(*wizard.viewLogBox(), out / "view-log.png");
    }
    QSplashScreen splash(QPixmap(qText(install + "/Flash.bmp")));
    splash.show();
    ok &= save(splash, out / "splash.png");
    fs::remove_all(scratch);
    return ok ? 0 : 1;
}
