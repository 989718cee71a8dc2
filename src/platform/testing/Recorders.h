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
    void showMessage(const std::string& text) override;
    void showCopyableMessage(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    bool askYesNoDefaultNo(const std::string& text) override;

    void queueAnswer(bool yes) { answers_.push_back(yes); }
    // Every message, plain or copyable, in the order shown; copyable()
    // says which of them let the user select their text.
    const std::vector<std::string>& messages() const { return messages_; }
    const std::vector<bool>& copyable() const { return copyable_; }
    // Every question asked, and the default button each had.
    const std::vector<std::string>& questions() const { return questions_; }
    const std::vector<DefaultButton>& defaultButtons() const { return defaultButtons_; }

private:
    bool ask(const std::string& text, DefaultButton defaultButton);

    std::vector<std::string> messages_;
    std::vector<bool> copyable_;
    std::vector<std::string> questions_;
    std::vector<DefaultButton> defaultButtons_;
    std::deque<bool> answers_;
};

} // namespace platform::testing
