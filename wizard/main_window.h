#pragma once
// Step 1: the datafile, the recovery option and Repair.

#include <array>

#include "wizard/window_chrome.h"

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace restorix::wizard {

class Wizard;

class MainWindow : public WizardWindow {
    Q_OBJECT
public:
    explicit MainWindow(Wizard& wizard);

    void browse();
    void repair();
    // Back from a stopped analysis: the same file and option, ready again.
    void analysisStopped();

    QLineEdit* pathText() const { return pathText_; }
    QPushButton* browseButton() const { return browse_; }
    QPushButton* repairButton() const { return repair_; }
    QRadioButton* optionButton(int index) const { return options_[static_cast<std::size_t>(index)]; }
    const WizardMenus& menus() const { return menus_; }

protected:
    void onEscape() override;
    void onClose() override;
    void onHelp() override;

private:
    void chooseOption(int index);
    void askExit();
    // Back to the state without a file.
    void forgetFile();
    void setOptionsEnabled(bool enabled);

    Wizard& wizard_;
    WizardMenus menus_;
    QLineEdit* pathText_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* repair_ = nullptr;
    QToolButton* repairPicture_ = nullptr;
    std::array<QRadioButton*, 3> options_{};
};

inline constexpr std::array<const char*, 3> kOptionTexts = {
    "Recover only SYS Schema", "Recover Schemas ( Excluding SYS Schema )",
    "Recover all Schemas ( Not Recommended.This would lead to a high memory usage )"};

}  // namespace restorix::wizard
