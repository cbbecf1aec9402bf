#pragma once
// What the wizard windows share: a fixed-size dialog painted over its
// installation picture, with Escape, F1 and the close box routed to the
// window's own handlers; the menu bar of the main window and the Preview;
// picture buttons; and the shared commands (help, view log, clear log, About).

#include <QDialog>
#include <QPixmap>
#include <QColor>
#include <QStyle>
#include <QToolButton>
#include <functional>
#include <optional>
#include <utility>
#include <string>
#include <string_view>

#include "platform/job_control.h"
#include "wizard/wizard_context.h"

class QMenuBar;
class QAction;
class QVBoxLayout;

namespace restorix::wizard {

class WizardWindow : public QDialog {
    Q_OBJECT
public:
    // `picture` is a file of the installation folder; a missing or unreadable
    // one leaves the plain background. `transparent` names the colour of the
    // picture that lets the plain background show through.
    WizardWindow(const WizardContext& context, std::string_view picture, QWidget* parent = nullptr,
                 std::optional<QColor> transparent = std::nullopt);
    // Hides the window for good: no question is asked any more.
    void dismiss();
    bool hasPicture() const { return !background_.isNull(); }

protected:
    virtual void onEscape() {}
    virtual void onClose() {}
    virtual void onHelp() {}
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Enter and Escape must not end the dialog behind the handlers' back.
    void reject() override {}
    const WizardContext& context_;

private:
    QPixmap background_;
    bool dismissed_ = false;
};

// A job's Yes/No questions, asked through the services over the window.
class WindowPrompter : public QuestionPrompter {
public:
    WindowPrompter(WizardServices& services, QWidget* owner) : services_(services), owner_(owner) {}
    bool askYesNo(std::string_view question, std::string_view caption) override {
        return services_.askYesNo(owner_, question, caption);
    }

private:
    WizardServices& services_;
    QWidget* owner_;
};

// A window's hold on its job's end: an end that arrives while a question is
// shown waits for the answer, and the end is taken once.
class JobEndGate {
public:
    explicit JobEndGate(std::function<void()> onEnd) : onEnd_(std::move(onEnd)) {}
    // Runs a question (false without asking once the end was taken); an end
    // that arrived meanwhile is handled after the answer.
    bool ask(const std::function<bool()>& question) {
        if (ended_) return false;
        asking_ = true;
        const bool yes = question();
        asking_ = false;
        if (std::exchange(endPending_, false)) onEnd_();
        return yes;
    }
    // True the first time, outside a question: the caller handles the end now.
    bool takeEnd() {
        if (ended_) return false;
        if (asking_) {
            endPending_ = true;
            return false;
        }
        ended_ = true;
        return true;
    }
    bool ended() const { return ended_; }

private:
    std::function<void()> onEnd_;
    bool asking_ = false;
    bool endPending_ = false;
    bool ended_ = false;
};

// The File, Option and Help menus of the main window and the Preview.
struct WizardMenus {
    QMenuBar* bar = nullptr;
    QAction* selectSource = nullptr;
    QAction* saveDbf = nullptr;
    QAction* exit = nullptr;
    QAction* viewLog = nullptr;
    QAction* clearLog = nullptr;
    QAction* contents = nullptr;
    QAction* about = nullptr;
};
WizardMenus addWizardMenus(QWidget* owner, QVBoxLayout* layout);

// A flat button with a picture and its tooltip.
QToolButton* pictureButton(QWidget* parent, QStyle::StandardPixmap picture, const char* tooltip);

// The commands every wizard window shares.
void openHelp(const WizardContext& context);
void viewActivityLog(const WizardContext& context);
void clearActivityLogAsking(const WizardContext& context, QWidget* owner, std::string_view question,
                            std::string_view caption);
void showAboutBox(const WizardContext& context, QWidget* owner);

// The window texts that several windows share.
inline constexpr std::string_view kExitQuestionPlain = "Do you want to exit?";
inline constexpr std::string_view kEscapeQuestion = "Do you want to exit ? ";
inline constexpr std::string_view kAboutCaption = "About Restorix for Oracle Database";

}  // namespace restorix::wizard
