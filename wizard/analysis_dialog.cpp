#include "wizard/analysis_dialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "wizard/qt_text.h"
#include "wizard/wizard.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

AnalysisDialog::AnalysisDialog(Wizard& wizard)
    : WizardWindow(wizard.context(), kAnalysisPicture, nullptr, QColor(0, 255, 0)),
      wizard_(wizard),
      progress_(static_cast<ProgressSink&>(*this)) {
    setWindowTitle(qText(kAppTitle));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    group_ = new QGroupBox("Analyzing File for the Oracle version", this);
    auto* inner = new QVBoxLayout(group_);
    phase_ = new QLabel(group_);
    phase_->setAttribute(Qt::WA_TranslucentBackground);
    status_ = new QLabel(group_);
    bar_ = new QProgressBar(group_);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    inner->addWidget(phase_);
    inner->addWidget(bar_);
    inner->addWidget(status_);
    layout->addWidget(group_);
    auto* buttons = new QHBoxLayout;
    pause_ = new QPushButton("Pause", this);
    stop_ = new QPushButton("Stop", this);
    buttons->addStretch();
    buttons->addWidget(pause_);
    buttons->addWidget(stop_);
    layout->addLayout(buttons);
    connect(pause_, &QPushButton::clicked, this, &AnalysisDialog::pauseOrResume);
    connect(stop_, &QPushButton::clicked, this, &AnalysisDialog::stop);
    setFixedSize(QSize(460, 200).expandedTo(sizeHint()));

    WizardServices& services = context_.services;
    messages_ = std::make_unique<QueuedMessages>(
        wizard_.ui(), [this, &services](const std::string& text, const std::string& caption) {
            services.inform(this, text, caption, BoxIcon::Information);
        });
    ScanOptions options;
    options.pauseAfterVersion = context_.timings.pauseAfterVersion;
    job_ = std::make_unique<AnalysisJob>(wizard_.recovery(), progress_, *messages_, context_.log, context_.clock,
                                         std::string(kAppTitle), options);
    job_->setOnFinished([this] { wizard_.ui().post([this] { jobEnded(); }); });
}

AnalysisDialog::~AnalysisDialog() = default;

void AnalysisDialog::startJob() { job_->start(); }

void AnalysisDialog::setCaption(std::string_view text) { group_->setTitle(qText(text)); }
void AnalysisDialog::setPhase(std::string_view text) { phase_->setText(qText(text)); }
void AnalysisDialog::setStatus(std::string_view text) { status_->setText(qText(text)); }
void AnalysisDialog::setProgress(int percent) { bar_->setValue(percent); }

bool AnalysisDialog::asking(const std::function<bool(QuestionPrompter&)>& ask) {
    WindowPrompter prompter(context_.services, this);
    return gate_.ask([&] { return ask(prompter); });
}

void AnalysisDialog::pauseOrResume() {
    if (gate_.ended()) return;
    job_->togglePause();
    pause_->setText(job_->isPaused() ? "Resume" : "Pause");
}

void AnalysisDialog::stop() {
    asking([this](QuestionPrompter& p) { return job_->stop(p, kAnalysisStopQuestion); });
}

void AnalysisDialog::onClose() {
    asking([this](QuestionPrompter& p) { return job_->close(p, kAnalysisCloseQuestion); });
}

void AnalysisDialog::onEscape() {
    if (asking([this](QuestionPrompter& p) { return job_->escape(p, kAnalysisExitQuestion); })) wizard_.end(0);
}

void AnalysisDialog::jobEnded() {
    if (wizard_.ended() || !gate_.takeEnd()) return;
    progress_.flush();
    const AnalysisResult result = job_->wait();  // the worker has returned: no wait
    dismiss();
    wizard_.analysisEnded(result);
}

}  // namespace restorix::wizard
