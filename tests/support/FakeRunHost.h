#pragma once
// A main window for the run tests: answers questions as told and records
// every message, lock change and progress value in order.

#include "core/base/RunHost.h"

#include <string>
#include <vector>

namespace mzb::test {

class FakeRunHost : public RunHost {
public:
    struct Message {
        std::string text;
        MessageKind kind;
        bool timed;
    };

    bool answerYes = true;
    std::vector<std::string> questions;
    // Answers to the overwrite questions in turn; Yes once they run out.
    std::vector<OverwriteAnswer> overwriteAnswers;
    std::vector<std::string> overwriteQuestions;
    std::vector<Message> messages;
    std::vector<bool> locks; // each SetRunLock value
    std::vector<int> progress;
    std::vector<std::string> currentFiles; // each ShowCurrentFile path
    int activePage = 0;
    std::vector<int> pagesShown;
    std::vector<int> timedSeconds;
    LocalDateTime now = LocalDateTime::Make(2026, 3, 14, 9, 26, 53);

    bool AskYesNo(const std::string& text, MessageKind) override {
        questions.push_back(text);
        return answerYes;
    }
    OverwriteAnswer AskOverwrite(const std::string& text) override {
        const std::size_t i = overwriteQuestions.size();
        overwriteQuestions.push_back(text);
        return i < overwriteAnswers.size() ? overwriteAnswers[i] : OverwriteAnswer::Yes;
    }
    void ShowMessage(const std::string& text, MessageKind kind) override {
        messages.push_back({text, kind, false});
    }
    void ShowTimedMessage(const std::string& text, MessageKind kind, int seconds) override {
        timedSeconds.push_back(seconds);
        messages.push_back({text, kind, true});
    }
    void SetRunLock(bool enabled) override { locks.push_back(enabled); }
    void SetProgress(int percent) override { progress.push_back(percent); }
    void ShowCurrentFile(const std::string& path) override { currentFiles.push_back(path); }
    int ActivePage() override { return activePage; }
    void ShowPage(int page) override { pagesShown.push_back(page); }
    LocalDateTime Now() override { return now; }
};

} // namespace mzb::test
