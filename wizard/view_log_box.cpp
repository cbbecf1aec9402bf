#include "wizard/view_log_box.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "wizard/qt_text.h"
#include "wizard/wizard.h"
#include "wizard/window_texts.h"

namespace restorix::wizard {

ViewLogBox::ViewLogBox(Wizard& wizard, bool aborted) : WizardWindow(wizard.context(), kViewLogPicture), wizard_(wizard) {
    // The outcome's log lines were written by the saving job (completed) or its Stop (aborted).
    setWindowTitle(qText(kAppTitle));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(this);
    auto* inner = new QVBoxLayout(group);
    status_ = new QLabel(qText(aborted ? kSavingAborted : kSavingCompleted), group);
    log_ = new QCheckBox("Activity Log File", group);
    guide_ = new QCheckBox("How to Import Data", group);
    ok_ = new QPushButton("OK", group);
    ok_->setDefault(true);
    for (QWidget* w : std::initializer_list<QWidget*>{status_, log_, guide_}) inner->addWidget(w);
    inner->addWidget(ok_, 0, Qt::AlignRight);
    layout->addWidget(group);
    connect(ok_, &QPushButton::clicked, this, &ViewLogBox::ok);
    setFixedSize(QSize(380, 200).expandedTo(sizeHint()));
}

void ViewLogBox::ok() {
    // With both boxes checked only the log opens.
    if (log_->isChecked()) {
        viewActivityLog(context_);
    } else if (guide_->isChecked()) {
        context_.services.openWithDesktop(context_.installFile(kImportGuide));
    }
    wizard_.end(0);
}

void ViewLogBox::onEscape() {
    wizard_.endIfConfirmed(this, " Saving Process is in running, Do you want to exit ? ");
}

void ViewLogBox::onClose() { wizard_.end(0); }

}  // namespace restorix::wizard
