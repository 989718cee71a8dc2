#pragma once

#include "platform/TextLabel.h"

class QLabel;

namespace platform::qt {

// A TextLabel over a QLabel the window owns (it must outlive this).
class QtTextLabel final : public TextLabel {
public:
    explicit QtTextLabel(QLabel& label)
        : label_(label)
    {
    }
    void setText(const std::string& text) override;
    std::string text() const override;
    // Paints the label now, even while the GUI thread is busy generating.
    void repaintNow() override;

private:
    QLabel& label_;
};

} // namespace platform::qt
