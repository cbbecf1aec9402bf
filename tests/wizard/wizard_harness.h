#pragma once
// Drives the wizard offscreen: scripted answers to every question and
// chooser, a recorded exit, an activity log in a scratch folder, and a
// forged datafile.

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "wizard/wizard.h"
#include "wizard/wizard_services.h"

namespace restorix::wizard::test {

namespace fs = std::filesystem;

class ScriptedServices : public WizardServices {
public:
    bool askYesNo(QWidget*, std::string_view question, std::string_view caption) override {
        asked.push_back(std::string(question) + "|" + std::string(caption));
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void inform(QWidget*, std::string_view text, std::string_view caption, BoxIcon icon) override {
        shown.push_back(std::string(text) + "|" + std::string(caption) + (icon == BoxIcon::Stop ? "|stop" : ""));
    }
    std::vector<std::string> chooseDatafiles(QWidget*) override {
        if (!datafiles.empty()) return datafiles;
        return datafile ? std::vector<std::string>{*datafile} : std::vector<std::string>{};
    }
    std::optional<std::string> chooseFolder(QWidget*) override { return folder; }
    void openWithDesktop(const std::string& path) override { opened.push_back(path); }
    std::optional<std::string> oracleHome() override { return home; }
    void exitProcess(int code) override { exitCodes.push_back(code); }

    std::deque<bool> answers;  // Yes/No, in the order the questions come; No when none is left
    std::optional<std::string> datafile;
    std::vector<std::string> datafiles;  // several at once, when set
    std::optional<std::string> folder;
    std::optional<std::string> home = std::string("/u01/app/oracle");
    std::vector<std::string> asked;   // question|caption
    std::vector<std::string> shown;   // text|caption[|stop]
    std::vector<std::string> opened;
    std::vector<int> exitCodes;
};

// Runs the event loop until the condition holds; false after the timeout.
inline bool pumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeout.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace restorix::wizard::test
