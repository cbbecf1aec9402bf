#include "wizard/wizard.h"

#include "activitylog/log_lines.h"
#include "wizard/analysis_dialog.h"
#include "wizard/file_saving_dialog.h"
#include "wizard/main_window.h"
#include "wizard/preview_window.h"
#include "wizard/view_log_box.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

Wizard::Wizard(WizardContext context) : context_(std::move(context)) {}

Wizard::~Wizard() {
    ui_.clear();
    recovery_.analysisControl.requestStop();
    windows_.clear();
}

template <typename W>
W* Wizard::keep(std::unique_ptr<W> window) {
    W* raw = window.get();
    windows_.push_back(std::move(window));
    return raw;
}

void Wizard::start() {
    logStartupHeader(context_.log, context_.clock, kVersionText);
    main_ = keep(std::make_unique<MainWindow>(*this));
    main_->show();
}

bool Wizard::reopenDatafile() { return !reopenDatafileRefusal(); }

std::optional<DatafileRefusal> Wizard::reopenDatafileRefusal() {
    if (recovery_.database.datafiles.isOpen()) return std::nullopt;
    return recovery_.database.datafiles.open(datafilePaths);
}

void Wizard::runAnalysis() {
    analysis_ = keep(std::make_unique<AnalysisDialog>(*this));
    analysis_->show();
    analysis_->startJob();
}

void Wizard::analysisEnded(AnalysisResult result) {
    switch (result) {
        case AnalysisResult::unsupportedVersion:
            // The message was shown before the job's end came through.
            end(3);
            return;
        case AnalysisResult::analysisStopped:
        case AnalysisResult::datafileRefused:
            main_->analysisStopped();
            return;
        case AnalysisResult::analysisCompleted:
            break;
    }
    recovery_.database.nameSourceAfterSystemFile();
    main_->dismiss();
    preview_ = keep(std::make_unique<PreviewWindow>(*this));
    preview_->show();
    preview_->buildTree();
}

void Wizard::startSaving(SavingSetup setup) {
    preview_->dismiss();
    saving_ = keep(std::make_unique<FileSavingDialog>(*this, std::move(setup)));
    saving_->show();
    saving_->startJob();
}

void Wizard::showViewLog(bool aborted) {
    if (saving_) saving_->dismiss();
    viewLog_ = keep(std::make_unique<ViewLogBox>(*this, aborted));
    viewLog_->show();
}

void Wizard::endIfConfirmed(QWidget* owner, std::string_view question) {
    if (context_.services.askYesNo(owner, question, kAppTitle)) end(0);
}

void Wizard::end(int code) {
    if (exitCode_) return;
    exitCode_ = code;
    ui_.clear();
    // Jobs stop at their next stop point; their threads are joined when the windows go.
    recovery_.analysisControl.requestStop();
    if (saving_) saving_->requestStop();
    for (const auto& window : windows_)
        if (auto* w = qobject_cast<WizardWindow*>(window.get())) w->dismiss();
    context_.services.exitProcess(code);
}

}  // namespace restorix::wizard
