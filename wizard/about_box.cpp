#include "wizard/about_box.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "wizard/qt_text.h"
#include "wizard/window_chrome.h"

namespace restorix::wizard {

namespace {

// A link that opens an installation file with the desktop's viewer.
QLabel* fileLink(const WizardContext& context, QWidget* parent, std::string_view file, const char* text) {
    auto* label = new QLabel(QString("<a href=\"%1\">%2</a>").arg(qText(file), text), parent);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    QObject::connect(label, &QLabel::linkActivated, parent, [&context](const QString& link) {
        context.services.openWithDesktop(context.installFile(utf8(link)));
    });
    return label;
}

}  // namespace

AboutBox::AboutBox(const WizardContext& context, QWidget* parent)
    : QDialog(parent), background_(qText(context.installFile(kAboutPicture))) {
    setWindowTitle(qText(kAboutCaption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 120, 24, 16);
    layout->addWidget(new QLabel(qText(kProductLine), this));
    layout->addWidget(fileLink(context, this, kHelpPage, "Help contents"));
    layout->addWidget(fileLink(context, this, kImportGuide, "How to import the recovered database"));
    auto* ok = new QPushButton("OK", this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    if (!background_.isNull()) setFixedSize(background_.size().expandedTo(sizeHint()));
}

void AboutBox::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    if (background_.isNull()) return;
    QPainter(this).drawPixmap(0, 0, background_);
}

}  // namespace restorix::wizard
