#pragma once

#include <string>

namespace platform {

// A text label the toolkit-free code writes into (the wait label, the score
// caption). The Qt adapter comes with the windows.
class TextLabel {
public:
    virtual ~TextLabel() = default;
    virtual void setText(const std::string& text) = 0;
    virtual std::string text() const = 0;
    // Repaints at once; used while the GUI thread is busy generating a run.
    virtual void repaintNow() = 0;
};

} // namespace platform
