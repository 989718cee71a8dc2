#pragma once

// TfStats: the time, score and per-note statistics of the current key, with
// their resets, shown inside the main window over its controls until it is
// closed.

#include "shell/EmbeddedWindow.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace shell {

class TfMain;

class TfStats : public TEmbeddedWindow {
    Q_OBJECT

public:
    // Embeds itself in `main`, hidden. The main window's objects must exist.
    explicit TfStats(TfMain& main);

    // Fills both boxes from the stored scores.
    void FormShow() override;
    // Ask first; only Yes resets, in memory (the file gets it at the end of
    // the next run).
    void bResetTimeScoreClick();
    void bResetNotesClick();

    QLabel* Label1 = nullptr;
    QPlainTextEdit* mTimeScore = nullptr;
    QPushButton* bResetTimeScore = nullptr;
    QPlainTextEdit* mNoteStats = nullptr;
    QPushButton* bResetNotes = nullptr;

private:
    void fillTimeScore();
    void fillNoteStats();

    TfMain& main_;
};

} // namespace shell
