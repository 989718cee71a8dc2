#pragma once

#include <string>

namespace platform {

// The button Return presses in a Yes / No question.
enum class DefaultButton { Yes, No };

// Message boxes for the toolkit-free code. The Qt adapter comes with the
// windows.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A plain message with an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // A plain message whose text the user can select and copy (an address to
    // paste elsewhere). Stand-ins that cannot tell the difference show it as
    // a plain message.
    virtual void showCopyableMessage(const std::string& text) { showMessage(text); }
    // A Yes / No question without an icon; true for Yes. Yes is the default
    // button.
    virtual bool askYesNo(const std::string& text) = 0;
    // The same with No as the default button, for a question whose Yes
    // throws something away: Return keeps it. Stand-ins without default
    // buttons just ask.
    virtual bool askYesNoDefaultNo(const std::string& text) { return askYesNo(text); }
};

} // namespace platform
