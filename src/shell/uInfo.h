#pragma once

// TfInfo: how to use the program and what it is, shown inside the main
// window over its controls until it is closed.

#include "platform/Clock.h"
#include "shell/EmbeddedWindow.h"

class QPlainTextEdit;

namespace shell {

class TfMain;

// The about text's placeholders.
inline constexpr const char* AppNamePlaceholder = "xappnamex";
inline constexpr const char* VersionPlaceholder = "xversionx";
inline constexpr const char* YearPlaceholder = "xjaartalx";

class TfInfo : public TEmbeddedWindow {
    Q_OBJECT

public:
    // Embeds itself in `main`, hidden. `clock` gives the year shown and
    // must outlive the window.
    TfInfo(TfMain& main, platform::Clock& clock);

    // Fills the placeholders of the about text; a second showing finds
    // none left.
    void FormShow() override;

    QPlainTextEdit* mUsage = nullptr;
    QPlainTextEdit* mInfo = nullptr;

private:
    platform::Clock& clock_;
};

} // namespace shell
