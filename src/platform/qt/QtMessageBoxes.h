#pragma once

#include "platform/MessageBoxes.h"

class QWidget;

namespace platform::qt {

// Modal message boxes over `parent` (may be null) with the application's
// title.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* parent = nullptr)
        : parent_(parent)
    {
    }
    void showMessage(const std::string& text) override;
    // Plain text the user can select with the mouse or the keyboard.
    void showCopyableMessage(const std::string& text) override;
    // Yes and No, no icon; Yes is the default button.
    bool askYesNo(const std::string& text) override;
    // Yes and No, no icon; No is the default button.
    bool askYesNoDefaultNo(const std::string& text) override;

private:
    QWidget* parent_;
};

} // namespace platform::qt
