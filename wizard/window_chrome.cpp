#include "wizard/window_chrome.h"

#include <QAction>
#include <QBitmap>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QVBoxLayout>

#include "activitylog/activity_log.h"
#include "wizard/about_box.h"
#include "wizard/qt_text.h"

namespace restorix::wizard {

namespace {

QPixmap loadPicture(const std::string& path, std::optional<QColor> transparent) {
    QPixmap picture(qText(path));
    if (!picture.isNull() && transparent) picture.setMask(picture.createMaskFromColor(*transparent));
    return picture;
}

}  // namespace

WizardWindow::WizardWindow(const WizardContext& context, std::string_view picture, QWidget* parent,
                           std::optional<QColor> transparent)
    : QDialog(parent), context_(context), background_(loadPicture(context.installFile(picture), transparent)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void WizardWindow::dismiss() {
    dismissed_ = true;
    hide();
}

void WizardWindow::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Escape: onEscape(); return;
        case Qt::Key_F1: onHelp(); return;
        default: QDialog::keyPressEvent(event);
    }
}

void WizardWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!dismissed_) onClose();
}

void WizardWindow::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (background_.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);  // unscaled, from the top-left corner
}

WizardMenus addWizardMenus(QWidget* owner, QVBoxLayout* layout) {
    WizardMenus menus;
    menus.bar = new QMenuBar(owner);
    QMenu* file = menus.bar->addMenu("File");
    menus.selectSource = file->addAction("Select Source File");
    menus.saveDbf = file->addAction("Save DBF File");
    menus.exit = file->addAction("Exit");
    QMenu* option = menus.bar->addMenu("Option");
    menus.viewLog = option->addAction("View Log");
    menus.clearLog = option->addAction("Clear Log");
    QMenu* help = menus.bar->addMenu("Help");
    menus.contents = help->addAction("Contents                                         F1");
    menus.about = help->addAction("About Restorix for Oracle Database");
    layout->setMenuBar(menus.bar);
    return menus;
}

QToolButton* pictureButton(QWidget* parent, QStyle::StandardPixmap picture, const char* tooltip) {
    auto* button = new QToolButton(parent);
    button->setIcon(parent->style()->standardIcon(picture));
    button->setToolTip(tooltip);
    button->setAutoRaise(true);
    return button;
}

void openHelp(const WizardContext& context) { context.services.openWithDesktop(context.installFile(kHelpPage)); }

void viewActivityLog(const WizardContext& context) {
    context.services.openWithDesktop(viewLogPath(context.installFolder).string());
}

void clearActivityLogAsking(const WizardContext& context, QWidget* owner, std::string_view question,
                            std::string_view caption) {
    if (context.services.askYesNo(owner, question, caption)) clearActivityLog(context.log, context.installFolder);
}

void showAboutBox(const WizardContext& context, QWidget* owner) {
    auto* box = new AboutBox(context, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

}  // namespace restorix::wizard
