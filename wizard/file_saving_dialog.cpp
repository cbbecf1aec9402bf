#include "wizard/file_saving_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "datafile/cfile64.h"
#include "wizard/qt_text.h"
#include "wizard/wizard.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

namespace {

QProgressBar* barInGroup(QWidget* parent, QVBoxLayout* layout, const char* title) {
    auto* group = new QGroupBox(title, parent);
    auto* inner = new QVBoxLayout(group);
    auto* bar = new QProgressBar(group);
    bar->setRange(0, 100);
    bar->setValue(0);
    inner->addWidget(bar);
    layout->addWidget(group);
    return bar;
}

}  // namespace

FileSavingDialog::FileSavingDialog(Wizard& wizard, SavingSetup setup)
    : WizardWindow(wizard.context(), kPreviewPicture), wizard_(wizard), progress_(static_cast<ProgressSink&>(*this)) {
    Recovery& recovery = wizard_.recovery();
    setWindowTitle(qText(kAppTitle));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* pictures = new QHBoxLayout;
    QToolButton* minimise = pictureButton(this, QStyle::SP_TitleBarMinButton, "Minimize");
    QToolButton* exit = pictureButton(this, QStyle::SP_DialogCloseButton, "Exit");
    pictures->addStretch();
    pictures->addWidget(minimise);
    pictures->addWidget(exit);
    layout->addLayout(pictures);

    auto* labels = new QGridLayout;
    labels->addWidget(new QLabel("Database Name :", this), 0, 0);
    labels->addWidget(new QLabel(qText(recovery.database.sourcePath), this), 0, 1);
    labels->addWidget(new QLabel("Table Name :", this), 1, 0);
    table_ = new QLabel(this);
    labels->addWidget(table_, 1, 1);
    labels->addWidget(new QLabel("File Path   :", this), 2, 0);
    file_ = new QLabel(this);
    labels->addWidget(file_, 2, 1);
    labels->setColumnStretch(1, 1);
    layout->addLayout(labels);
    current_ = barInGroup(this, layout, "Current Progress");
    overall_ = barInGroup(this, layout, "Overall Progress");

    auto* buttons = new QHBoxLayout;
    stop_ = new QPushButton("Stop", this);
    pause_ = new QPushButton("Pause", this);
    skip_ = new QPushButton("Skip Table", this);
    skip_->setEnabled(false);
    buttons->addStretch();
    for (QPushButton* b : {stop_, pause_, skip_}) buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(stop_, &QPushButton::clicked, this, &FileSavingDialog::stop);
    connect(pause_, &QPushButton::clicked, this, &FileSavingDialog::pauseOrResume);
    connect(skip_, &QPushButton::clicked, this, &FileSavingDialog::skipTable);
    connect(minimise, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(exit, &QToolButton::clicked, this, &FileSavingDialog::onClose);
    setFixedSize(QSize(560, 300).expandedTo(sizeHint()));

    state_.progress = &progress_;
    state_.skipPause = context_.timings.skipLinger;
    WizardServices& services = context_.services;
    messages_ = std::make_unique<QueuedMessages>(
        wizard_.ui(), [this, &services](const std::string& text, const std::string& caption) {
            services.inform(this, text, caption, BoxIcon::Stop);
        });
    job_ = std::make_unique<SavingJob>(recovery.analysed(), state_, *messages_, context_.log, context_.clock,
                                       std::move(setup));
    job_->setOnFinished([this] { wizard_.ui().post([this] { jobEnded(); }); });
}

FileSavingDialog::~FileSavingDialog() { state_.control.requestStop(); }

void FileSavingDialog::startJob() { job_->start(); }

void FileSavingDialog::setTableName(std::string_view text) { table_->setText(qText(text)); }
void FileSavingDialog::setFilePath(std::string_view text) { file_->setText(qText(text)); }
void FileSavingDialog::setCurrentProgress(int percent) { current_->setValue(std::min(percent, 100)); }
void FileSavingDialog::setOverallProgress(int percent) { overall_->setValue(std::min(percent, 100)); }
void FileSavingDialog::setSkipEnabled(bool enabled) { skip_->setEnabled(enabled); }

bool FileSavingDialog::asking(const std::function<bool(QuestionPrompter&)>& ask) {
    WindowPrompter prompter(context_.services, this);
    return gate_.ask([&] { return ask(prompter); });
}

void FileSavingDialog::pauseOrResume() {
    if (gate_.ended()) return;
    job_->togglePause();
    pause_->setText(job_->isPaused() ? "Resume" : "Pause");
}

void FileSavingDialog::stop() {
    if (!asking([this](QuestionPrompter& p) { return job_->stop(p, kSavingStopQuestion); })) return;
    // Stop does not wait for the worker: nothing more is written, the box
    // follows at once (unless the job's end, come meanwhile, showed it).
    if (!gate_.takeEnd()) return;
    progress_.flush();
    wizard_.showViewLog(true);
}

void FileSavingDialog::skipTable() {
    asking([this](QuestionPrompter& p) { return job_->skipTable(p, kSkipTableQuestion); });
}

void FileSavingDialog::onEscape() {
    if (asking([this](QuestionPrompter& p) { return job_->escape(p, kSavingEscapeQuestion); })) wizard_.end(0);
}

void FileSavingDialog::onClose() {
    if (asking([this](QuestionPrompter& p) { return job_->closeWindow(p, kSavingCloseQuestion); })) wizard_.end(0);
}

void FileSavingDialog::jobEnded() {
    if (wizard_.ended() || !gate_.takeEnd()) return;
    progress_.flush();
    SavingResult result;
    try {
        result = job_->wait();  // the worker has returned: no wait
    } catch (const FileError& e) {
        context_.services.inform(this, std::string("Cannot read the datafile: ") + e.what(), kProductName,
                                 BoxIcon::Stop);
        wizard_.end(1);
        return;
    }
    switch (result) {
        case SavingResult::cannotOpenTargetFile:
            // "Cannot open target file" was shown before the job's end came through.
            wizard_.end(1);
            return;
        case SavingResult::saveStopped:
            wizard_.showViewLog(true);
            return;
        case SavingResult::saveCompleted:
            wizard_.recovery().releaseAfterSaving();
            wizard_.showViewLog(false);
            return;
    }
}

}  // namespace restorix::wizard
