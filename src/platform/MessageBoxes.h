#pragma once

#include <string>

namespace platform {

// Message boxes for the toolkit-free code. The Qt adapter comes with the
// windows.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A plain message with an OK button.
    virtual void showMessage(const std::string& text) = 0;
    // A Yes / No question without an icon; true for Yes.
    virtual bool askYesNo(const std::string& text) = 0;
};

} // namespace platform
