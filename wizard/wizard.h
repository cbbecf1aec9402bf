#pragma once
// The wizard: one recovery walked through its windows. The main window
// chooses the datafile and the option, the Analysis dialog runs the analysis,
// the Preview shows the catalog and starts the save, the File Saving dialog
// writes the output folder, and the View Log box ends the run. Every window
// lives until the wizard goes (a window being closed may still be on the
// stack), and the jobs' threads end before the recovery they read.

#include <QObject>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/analysis_job.h"
#include "dictionary/recovery.h"
#include "output/saving_job.h"
#include "wizard/ui_bridge.h"
#include "wizard/wizard_context.h"

namespace restorix::wizard {

class MainWindow;
class AnalysisDialog;
class PreviewWindow;
class FileSavingDialog;
class ViewLogBox;

class Wizard : public QObject {
    Q_OBJECT
public:
    explicit Wizard(WizardContext context);
    ~Wizard() override;

    // Writes the start-up header and shows the main window.
    void start();

    const WizardContext& context() const { return context_; }
    Recovery& recovery() { return recovery_; }
    UiQueue& ui() { return ui_; }

    // The datafile as the user chose it (sourcePath is upper-cased).
    // The files chosen: the SYSTEM datafile and any others of the database.
    std::vector<std::string> datafilePaths;
    // Opens the datafile again when the analysis closed it (window closed
    // with Yes); false when it cannot be opened.
    bool reopenDatafile();
    // The same, with why the files cannot be opened again; nothing when they are open.
    std::optional<DatafileRefusal> reopenDatafileRefusal();

    // The steps, in order; each hides the window before it.
    void runAnalysis();
    void analysisEnded(AnalysisResult result);
    void startSaving(SavingSetup setup);
    void showViewLog(bool aborted);
    // Ends the process: the jobs are asked to stop, the windows hidden, and
    // the services end the process with the code.
    void end(int code);
    // Asks the Yes/No question over the window; Yes ends the process with 0.
    void endIfConfirmed(QWidget* owner, std::string_view question);
    bool ended() const { return exitCode_.has_value(); }
    std::optional<int> exitCode() const { return exitCode_; }

    // The windows, for the tests and the screenshots; null before they exist.
    MainWindow* mainWindow() const { return main_; }
    AnalysisDialog* analysisDialog() const { return analysis_; }
    PreviewWindow* previewWindow() const { return preview_; }
    FileSavingDialog* savingDialog() const { return saving_; }
    ViewLogBox* viewLogBox() const { return viewLog_; }

private:
    template <typename W>
    W* keep(std::unique_ptr<W> window);

    WizardContext context_;
    Recovery recovery_;
    UiQueue ui_;
    std::optional<int> exitCode_;
    // Every window ever opened, destroyed (and their jobs joined) before the recovery.
    std::vector<std::unique_ptr<QObject>> windows_;
    MainWindow* main_ = nullptr;
    AnalysisDialog* analysis_ = nullptr;
    PreviewWindow* preview_ = nullptr;
    FileSavingDialog* saving_ = nullptr;
    ViewLogBox* viewLog_ = nullptr;
};

}  // namespace restorix::wizard
