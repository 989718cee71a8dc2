#include "platform/testing/Recorders.h"

namespace platform::testing {

void RecordingTextLabel::setText(const std::string& text)
{
    text_ = text;
    history_.push_back(text);
}

void RecordingMessageBoxes::showMessage(const std::string& text)
{
    messages_.push_back(text);
    copyable_.push_back(false);
}

void RecordingMessageBoxes::showCopyableMessage(const std::string& text)
{
    messages_.push_back(text);
    copyable_.push_back(true);
}

bool RecordingMessageBoxes::askYesNo(const std::string& text)
{
    return ask(text, DefaultButton::Yes);
}

bool RecordingMessageBoxes::askYesNoDefaultNo(const std::string& text)
{
    return ask(text, DefaultButton::No);
}

bool RecordingMessageBoxes::ask(const std::string& text, DefaultButton defaultButton)
{
    questions_.push_back(text);
    defaultButtons_.push_back(defaultButton);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

} // namespace platform::testing
