#pragma once
// What the windows ask of the desktop, behind one interface: questions,
// information boxes, the file and folder choosers, opening a file with the
// desktop's viewer, the Oracle home, and ending the process. The program uses
// Qt's boxes and dialogs; the tests answer from a script and record the exit.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace restorix::wizard {

enum class BoxIcon { Information, Stop };

class WizardServices {
public:
    virtual ~WizardServices() = default;
    // A system-modal Yes/No question with the question icon; true for Yes.
    virtual bool askYesNo(QWidget* owner, std::string_view question, std::string_view caption) = 0;
    // An information or error box with one OK button.
    virtual void inform(QWidget* owner, std::string_view text, std::string_view caption, BoxIcon icon) = 0;
    // The open-file dialog for the datafiles ("Oracle Database File", *.dbf):
    // the SYSTEM file and any others; none when cancelled.
    virtual std::vector<std::string> chooseDatafiles(QWidget* owner) = 0;
    // The folder browser ("Select the Destination Path"); nothing when cancelled.
    virtual std::optional<std::string> chooseFolder(QWidget* owner) = 0;
    // Opens a file (log, help page, import guide) with the desktop's default viewer.
    virtual void openWithDesktop(const std::string& path) = 0;
    // The Oracle home, found as the command line finds it; nothing when none.
    virtual std::optional<std::string> oracleHome() = 0;
    // Ends the process with the code once control is back in the event loop.
    virtual void exitProcess(int code) = 0;
};

// Qt's message boxes and dialogs, QDesktopServices, the environment and
// /etc/oratab, and QCoreApplication::exit.
class QtWizardServices : public WizardServices {
public:
    bool askYesNo(QWidget* owner, std::string_view question, std::string_view caption) override;
    void inform(QWidget* owner, std::string_view text, std::string_view caption, BoxIcon icon) override;
    std::vector<std::string> chooseDatafiles(QWidget* owner) override;
    std::optional<std::string> chooseFolder(QWidget* owner) override;
    void openWithDesktop(const std::string& path) override;
    std::optional<std::string> oracleHome() override;
    void exitProcess(int code) override;
};

// The texts the boxes and dialogs of the wizard share.
inline constexpr std::string_view kDatafileFilterName = "Oracle Database File";
inline constexpr std::string_view kDestinationTitle = "Select the Destination Path";

}  // namespace restorix::wizard
