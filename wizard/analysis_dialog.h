#pragma once
// Step 2: the "Analysis" dialog around the analysis job. The job runs on its
// own thread; its progress and messages come back through the bridge, and its
// end through the completion callback, so this window never waits for it.

#include <memory>

#include "dictionary/analysis_job.h"
#include "wizard/ui_bridge.h"
#include "wizard/window_chrome.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace restorix::wizard {

class Wizard;

class AnalysisDialog : public WizardWindow, private ProgressSink {
    Q_OBJECT
public:
    explicit AnalysisDialog(Wizard& wizard);
    ~AnalysisDialog() override;
    // Starts the job; the dialog must be shown.
    void startJob();

    void pauseOrResume();
    void stop();

    QPushButton* pauseButton() const { return pause_; }
    QPushButton* stopButton() const { return stop_; }
    QProgressBar* progressBar() const { return bar_; }
    QGroupBox* versionGroup() const { return group_; }
    QLabel* phaseLabel() const { return phase_; }
    QLabel* statusLabel() const { return status_; }

protected:
    void onEscape() override;
    void onClose() override;

private:
    // ProgressSink, on the user-interface thread (through the bridge).
    void setCaption(std::string_view text) override;
    void setPhase(std::string_view text) override;
    void setStatus(std::string_view text) override;
    void setProgress(int percent) override;

    // Asks through the job's controller with the window as owner.
    bool asking(const std::function<bool(QuestionPrompter&)>& ask);
    void jobEnded();

    Wizard& wizard_;
    QGroupBox* group_ = nullptr;
    QLabel* phase_ = nullptr;
    QLabel* status_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* stop_ = nullptr;
    CoalescedProgress progress_;
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<AnalysisJob> job_;
    JobEndGate gate_{[this] { jobEnded(); }};
};

}  // namespace restorix::wizard
