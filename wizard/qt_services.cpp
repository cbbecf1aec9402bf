#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>
#include <cstdlib>

#include "output/oracle_client.h"
#include "wizard/qt_text.h"
#include "wizard/wizard_services.h"

namespace restorix::wizard {

bool QtWizardServices::askYesNo(QWidget* owner, std::string_view question, std::string_view caption) {
    QMessageBox box(QMessageBox::Question, qText(caption), qText(question), QMessageBox::Yes | QMessageBox::No, owner);
    box.setWindowModality(Qt::ApplicationModal);
    return box.exec() == QMessageBox::Yes;
}

void QtWizardServices::inform(QWidget* owner, std::string_view text, std::string_view caption, BoxIcon icon) {
    QMessageBox box(icon == BoxIcon::Stop ? QMessageBox::Critical : QMessageBox::Information, qText(caption),
                    qText(text), QMessageBox::Ok, owner);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

std::vector<std::string> QtWizardServices::chooseDatafiles(QWidget* owner) {
    const QString filter = qText(kDatafileFilterName) + " (*.dbf *.DBF)";
    const QStringList chosen = QFileDialog::getOpenFileNames(owner, QString(), QString(), filter, nullptr,
                                                             QFileDialog::ReadOnly);
    std::vector<std::string> paths;
    for (const QString& path : chosen) paths.push_back(utf8(path));
    return paths;
}

std::optional<std::string> QtWizardServices::chooseFolder(QWidget* owner) {
    const QString chosen = QFileDialog::getExistingDirectory(owner, qText(kDestinationTitle));
    if (chosen.isEmpty()) return std::nullopt;
    return utf8(chosen);
}

void QtWizardServices::openWithDesktop(const std::string& path) {
    // A viewer that cannot be started is not reported.
    QDesktopServices::openUrl(QUrl::fromLocalFile(qText(path)));
}

std::optional<std::string> QtWizardServices::oracleHome() {
    return findOracleHome(std::nullopt, std::getenv("ORACLE_HOME"));
}

void QtWizardServices::exitProcess(int code) { QCoreApplication::exit(code); }

}  // namespace restorix::wizard
