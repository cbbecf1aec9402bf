#pragma once
// The message, log and question sinks the tests hand to the jobs.

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "activitylog/activity_log.h"
#include "platform/job_control.h"

namespace restorix::test {

// The caption the front ends give the jobs' boxes and questions.
inline constexpr std::string_view kCaption = " Restorix for Oracle Database";

class SilentMessages : public MessageSink {
public:
    void showMessage(std::string_view, std::string_view) override {}
};

class SilentLog : public LogSink {
public:
    bool appendLog(std::string_view) override { return true; }
};

// Every message shown: its text, its caption, and both as "caption: text".
class RecordingMessages : public MessageSink {
public:
    void showMessage(std::string_view text, std::string_view caption) override {
        messages.emplace_back(text);
        captions.emplace_back(caption);
        shown.push_back(std::string(caption) + ": " + std::string(text));
    }
    std::vector<std::string> messages;
    std::vector<std::string> captions;
    std::vector<std::string> shown;
};

// The whole log, readable while a job's thread still appends to it.
class RecordingLog : public LogSink {
public:
    bool appendLog(std::string_view text) override {
        std::lock_guard lock(mutex_);
        text_ += text;
        return true;
    }
    std::string text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Gives the same answer to every question, and keeps what was asked.
class FixedAnswer : public QuestionPrompter {
public:
    explicit FixedAnswer(bool yes) : yes_(yes) {}
    bool askYesNo(std::string_view question, std::string_view caption) override {
        questions.emplace_back(question);
        captions.emplace_back(caption);
        return yes_;
    }
    std::vector<std::string> questions;
    std::vector<std::string> captions;

private:
    bool yes_;
};

}  // namespace restorix::test
