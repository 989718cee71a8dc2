#pragma once

// TfStats: the time and score, and the per-note, per-interval or per-chord
// statistics, of one exercise's scores in one key on one staff, with their
// resets; shown inside the main window over its controls until it is
// closed. It opens on what the practice panel has chosen, and its selectors
// browse any other.

#include "shell/EmbeddedWindow.h"

#include <functional>

class QComboBox;
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

    // Selects what the practice panel has chosen and fills both boxes from
    // the stored scores.
    void FormShow() override;
    // Fills both boxes for what the selectors show.
    void fill();
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
    // Which scores: the exercises' (mode 1) or the minor scales' (mode 2),
    // the key, the staff, and the table (notes, intervals, chords).
    QComboBox* cMode = nullptr;
    QComboBox* cKey = nullptr;
    QComboBox* cStaff = nullptr;
    QComboBox* cTable = nullptr;

private:
    std::int32_t mode() const;
    std::int32_t key() const;
    std::int32_t clefNo() const;
    bool selecting_ = false;

    void fillTimeScore();
    void fillNoteStats();
    void resetAndSave(const std::function<void(scores::THighScore&)>& reset);

    TfMain& main_;
    scores::THighScore& scoreStore_;
};

} // namespace shell
