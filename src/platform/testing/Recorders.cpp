#include "platform/testing/Recorders.h"

namespace platform::testing {

void RecordingTextLabel::setText(const std::string& text)
{
    text_ = text;
    history_.push_back(text);
}

bool RecordingMessageBoxes::askYesNo(const std::string& text)
{
    questions_.push_back(text);
    if (answers_.empty())
        return false;
    const bool yes = answers_.front();
    answers_.pop_front();
    return yes;
}

} // namespace platform::testing
