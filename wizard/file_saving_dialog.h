#pragma once
// The "File Saving" dialog around the saving job: two bars, the table and the
// file being written, Pause, Stop and Skip Table. The job runs on its own
// thread and reaches the dialog through the bridge.

#include <memory>

#include "output/saving_job.h"
#include "wizard/ui_bridge.h"
#include "wizard/window_chrome.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace restorix::wizard {

class Wizard;

class FileSavingDialog : public WizardWindow, private ProgressSink {
    Q_OBJECT
public:
    FileSavingDialog(Wizard& wizard, SavingSetup setup);
    ~FileSavingDialog() override;
    void startJob();
    // The process is ending: nothing more is written.
    void requestStop() { state_.control.requestStop(); }

    void pauseOrResume();
    void stop();
    void skipTable();

    QPushButton* pauseButton() const { return pause_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* skipButton() const { return skip_; }
    QProgressBar* currentBar() const { return current_; }
    QProgressBar* overallBar() const { return overall_; }
    QLabel* tableLabel() const { return table_; }
    QLabel* fileLabel() const { return file_; }
    const SavingState& state() const { return state_; }

protected:
    void onEscape() override;
    void onClose() override;

private:
    void setTableName(std::string_view text) override;
    void setFilePath(std::string_view text) override;
    void setCurrentProgress(int percent) override;
    void setOverallProgress(int percent) override;
    void setSkipEnabled(bool enabled) override;

    // Asks through the job's controller with the window as owner.
    bool asking(const std::function<bool(QuestionPrompter&)>& ask);
    void jobEnded();

    Wizard& wizard_;
    QLabel* table_ = nullptr;
    QLabel* file_ = nullptr;
    QProgressBar* current_ = nullptr;
    QProgressBar* overall_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* skip_ = nullptr;
    CoalescedProgress progress_;
    SavingState state_;
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<SavingJob> job_;
    JobEndGate gate_{[this] { jobEnded(); }};
};

}  // namespace restorix::wizard
