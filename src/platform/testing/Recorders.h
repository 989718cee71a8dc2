#pragma once

#include "platform/MessageBoxes.h"
#include "platform/TextLabel.h"

#include <deque>
#include <string>
#include <vector>

namespace platform::testing {

// Keeps every text written and counts immediate repaints.
class RecordingTextLabel final : public TextLabel {
public:
    void setText(const std::string& text) override;
    std::string text() const override { return text_; }
    void repaintNow() override { ++repaints_; }

    const std::vector<std::string>& history() const { return history_; }
    int repaints() const { return repaints_; }

private:
    std::string text_;
    std::vector<std::string> history_;
    int repaints_ = 0;
};

// Records messages and questions; questions are answered from a queue of
// scripted answers (No once the queue is empty).
class RecordingMessageBoxes final : public MessageBoxes {
public:
    void showMessage(const std::string& text) override { messages_.push_back(text); }
    bool askYesNo(const std::string& text) override;

    void queueAnswer(bool yes) { answers_.push_back(yes); }
    const std::vector<std::string>& messages() const { return messages_; }
    const std::vector<std::string>& questions() const { return questions_; }

private:
    std::vector<std::string> messages_;
    std::vector<std::string> questions_;
    std::deque<bool> answers_;
};

} // namespace platform::testing
