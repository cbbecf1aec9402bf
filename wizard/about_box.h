#pragma once
// The About box: the product line and version, and links to the help page and
// the import guide of the installation folder.

#include <QDialog>

#include "wizard/wizard_context.h"

namespace restorix::wizard {

class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const WizardContext& context, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
};

inline constexpr std::string_view kProductLine = "Restorix for Oracle Database v.2.0.0";

}  // namespace restorix::wizard
