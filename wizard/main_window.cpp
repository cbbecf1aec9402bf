#include "wizard/main_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>

#include "activitylog/log_lines.h"
#include "wizard/qt_text.h"
#include "wizard/wizard.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

namespace {

constexpr std::array<RecoveryOption, 3> kOptions = {RecoveryOption::SysOnly, RecoveryOption::AllButSys,
                                                    RecoveryOption::All};

// The box for a set of datafiles that cannot be opened or read together: the
// message, then the file and the reason (a held file needs none).
std::string refusalText(const DatafileRefusal& refusal) {
    if (refusal.kind == DatafileRefusal::Kind::NotOpened) return kFileInUseMessage;
    return std::string(refusalMessage(refusal.kind)) + "\n" + refusal.path + ": " + refusal.reason;
}

}  // namespace

MainWindow::MainWindow(Wizard& wizard) : WizardWindow(wizard.context(), kMainPicture), wizard_(wizard) {
    setWindowTitle(qText(kAppTitle));
    auto* layout = new QVBoxLayout(this);
    menus_ = addWizardMenus(this, layout);

    auto* pictures = new QHBoxLayout;
    QToolButton* open = pictureButton(this, QStyle::SP_DialogOpenButton, "Open");
    repairPicture_ = pictureButton(this, QStyle::SP_BrowserReload, "Repair");
    QToolButton* about = pictureButton(this, QStyle::SP_MessageBoxInformation, "About");
    QToolButton* exit = pictureButton(this, QStyle::SP_DialogCloseButton, "Exit");
    for (QToolButton* b : {open, repairPicture_, about, exit}) pictures->addWidget(b);
    pictures->addStretch();
    layout->addLayout(pictures);

    auto* fileGroup = new QGroupBox("Please Select Oracle Database file:", this);
    auto* fileRow = new QHBoxLayout(fileGroup);
    pathText_ = new QLineEdit(fileGroup);
    pathText_->setReadOnly(true);
    browse_ = new QPushButton("Browse", fileGroup);
    fileRow->addWidget(pathText_);
    fileRow->addWidget(browse_);
    layout->addWidget(fileGroup);

    auto* optionGroup = new QGroupBox("Recovery Options", this);
    auto* optionColumn = new QVBoxLayout(optionGroup);
    for (int i = 0; i < 3; ++i) {
        options_[static_cast<std::size_t>(i)] = new QRadioButton(kOptionTexts[static_cast<std::size_t>(i)], optionGroup);
        optionColumn->addWidget(options_[static_cast<std::size_t>(i)]);
        connect(options_[static_cast<std::size_t>(i)], &QRadioButton::clicked, this, [this, i] { chooseOption(i); });
    }
    layout->addWidget(optionGroup);

    repair_ = new QPushButton("Repair", this);
    repair_->setDefault(true);
    layout->addWidget(repair_, 0, Qt::AlignRight);

    connect(browse_, &QPushButton::clicked, this, &MainWindow::browse);
    connect(open, &QToolButton::clicked, this, &MainWindow::browse);
    connect(menus_.selectSource, &QAction::triggered, this, &MainWindow::browse);
    connect(repair_, &QPushButton::clicked, this, &MainWindow::repair);
    connect(repairPicture_, &QToolButton::clicked, this, &MainWindow::repair);
    connect(about, &QToolButton::clicked, this, [this] { showAboutBox(context_, this); });
    connect(menus_.about, &QAction::triggered, this, [this] { showAboutBox(context_, this); });
    connect(exit, &QToolButton::clicked, this, &MainWindow::askExit);
    connect(menus_.exit, &QAction::triggered, this, &MainWindow::askExit);
    connect(menus_.viewLog, &QAction::triggered, this, [this] { viewActivityLog(context_); });
    connect(menus_.clearLog, &QAction::triggered, this, [this] {
        clearActivityLogAsking(context_, this, "Do you want to clear Log File?", kAppTitle);
    });
    connect(menus_.contents, &QAction::triggered, this, [this] { openHelp(context_); });

    menus_.saveDbf->setEnabled(false);  // the Preview gives it its meaning
    setOptionsEnabled(false);
    setFixedSize(hasPicture() ? sizeHint().expandedTo(QSize(560, 360)) : sizeHint());
}

void MainWindow::setOptionsEnabled(bool enabled) {
    for (QRadioButton* b : options_) b->setEnabled(enabled);
}

void MainWindow::browse() {
    Recovery& recovery = wizard_.recovery();
    const std::vector<std::string> chosen = context_.services.chooseDatafiles(this);
    if (chosen.empty()) {
        pathText_->setText(qText(recovery.database.sourcePath));
        return;
    }
    wizard_.datafilePaths = chosen;
    // Until the analysis finds the SYSTEM file among several, the first names them.
    recovery.database.nameSourceAfter(chosen.front());
    pathText_->setText(qText(chosen.front()));
    setOptionsEnabled(true);
}

void MainWindow::chooseOption(int index) {
    if (!options_[static_cast<std::size_t>(index)]->isChecked()) return;
    wizard_.recovery().options = RecoveryOptions(kOptions[static_cast<std::size_t>(index)]);
    repair_->setEnabled(true);
    repairPicture_->setEnabled(true);
}

void MainWindow::forgetFile() {
    Recovery& recovery = wizard_.recovery();
    pathText_->clear();
    for (QRadioButton* b : options_) {
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
    setOptionsEnabled(false);
    recovery.options = RecoveryOptions(RecoveryOption::None);
    recovery.database.sourcePath.clear();
    wizard_.datafilePaths.clear();
}

void MainWindow::repair() {
    Recovery& recovery = wizard_.recovery();
    WizardServices& services = context_.services;
    if (recovery.database.sourcePath.empty()) {
        services.inform(this, "Please select the DBF File.", kProductName, BoxIcon::Information);
        pathText_->clear();
        return;
    }
    if (!recovery.options.chosen()) {
        services.inform(this, "Please select any recovery options.", kProductName, BoxIcon::Information);
        return;
    }
    // A file that is gone is told apart from one that another process holds.
    const std::optional<DatafileRefusal> refusal = recovery.database.datafiles.open(wizard_.datafilePaths);
    if (refusal && refusal->kind == DatafileRefusal::Kind::Missing) {
        logSelectedFileMissing(context_.log);
        services.inform(this, "No such file exists.", kProductName, BoxIcon::Information);
        return;
    }
    if (refusal) {
        services.inform(this, refusalText(*refusal), kProductName, BoxIcon::Information);
        forgetFile();
        return;
    }
    logAnalysisStart(context_.log, context_.clock, recovery.database.sourcePath);
    if (wizard_.datafilePaths.size() > 1) logDatafiles(context_.log, wizard_.datafilePaths);
    browse_->setEnabled(false);
    menus_.selectSource->setEnabled(false);
    wizard_.runAnalysis();
}

void MainWindow::analysisStopped() {
    show();
    raise();
    activateWindow();
    repair_->setEnabled(true);
    repair_->setFocus();
    browse_->setEnabled(true);
    menus_.selectSource->setEnabled(true);
    setOptionsEnabled(true);
}

void MainWindow::askExit() {
    wizard_.endIfConfirmed(this, kExitQuestionPlain);
}

void MainWindow::onEscape() {
    wizard_.endIfConfirmed(this, kEscapeQuestion);
}

void MainWindow::onClose() { askExit(); }

void MainWindow::onHelp() { openHelp(context_); }

}  // namespace restorix::wizard
