#pragma once

// TfStats: the time, score and per-note statistics of the current key, with
// their resets, shown inside the main window over its controls until it is
// closed.

#include "shell/EmbeddedWindow.h"

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace scores {
class THighScore;
}

namespace shell {

class TfMain;

class TfStats : public TEmbeddedWindow {
    Q_OBJECT

public:
    // Embeds itself in `main`, hidden. The main window's objects must exist.
    // Shows and resets the scores of `scoreStore`, for the key the main
    // window shows; both must outlive the window.
    TfStats(TfMain& main, scores::THighScore& scoreStore);

    // Fills both boxes from the stored scores.
    void FormShow() override;
    // Ask first, with No as the default; only Yes resets, and the reset is
    // saved to keyscore.dat at once. A failed save is told; the program goes
    // on with the reset in memory.
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
    void resetAndSave(const std::function<void(scores::THighScore&)>& reset);

    TfMain& main_;
    scores::THighScore& scoreStore_;
};

} // namespace shell
