#pragma once
// The box that ends every save: the outcome, and an offer to open the activity
// log or the import guide. Every way out of it ends the process.

#include "wizard/window_chrome.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace restorix::wizard {

class Wizard;

class ViewLogBox : public WizardWindow {
    Q_OBJECT
public:
    ViewLogBox(Wizard& wizard, bool aborted);
    void ok();

    QLabel* statusLabel() const { return status_; }
    QCheckBox* logCheck() const { return log_; }
    QCheckBox* guideCheck() const { return guide_; }
    QPushButton* okButton() const { return ok_; }

protected:
    void onEscape() override;
    void onClose() override;

private:
    Wizard& wizard_;
    QLabel* status_ = nullptr;
    QCheckBox* log_ = nullptr;
    QCheckBox* guide_ = nullptr;
    QPushButton* ok_ = nullptr;
};

inline constexpr std::string_view kSavingAborted = "Saving Aborted by User";
inline constexpr std::string_view kSavingCompleted = "Saving Completed Successfully";

}  // namespace restorix::wizard
