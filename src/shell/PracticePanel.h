#pragma once

// The practice panel right of the staff: what the next run asks. The
// exercise, the key, the staff, and the exercise's own choices (which
// intervals, which chords, which progression, how many octaves). Used
// between runs; the main window disables it while a run goes on.

#include "engine/Practice.h"

#include <QFrame>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace shell {

class PracticePanel : public QFrame {
    Q_OBJECT

public:
    explicit PracticePanel(QWidget* parent);

    // Shows `choice` without telling anyone.
    void setChoice(const engine::PracticeChoice& choice);
    const engine::PracticeChoice& choice() const { return choice_; }

    QComboBox* exercise = nullptr;
    QComboBox* key = nullptr;
    QComboBox* staff = nullptr;
    QLabel* intervalsTitle = nullptr;
    QListWidget* intervals = nullptr;
    QPushButton* intervalsAll = nullptr;
    QPushButton* intervalsNone = nullptr;
    QLabel* chordsTitle = nullptr;
    QListWidget* chords = nullptr;
    QPushButton* chordsAll = nullptr;
    QPushButton* chordsNone = nullptr;
    QLabel* progressionTitle = nullptr;
    QComboBox* progression = nullptr;
    QLabel* octavesTitle = nullptr;
    QComboBox* octaves = nullptr;

signals:
    // The player changed something.
    void changed(const engine::PracticeChoice& choice);

private:
    void build();
    // Shows the controls the exercise uses, and only those.
    void arrange();
    // The keys by name: for minor scales with the relative minor beside.
    void nameKeys();
    void showChoice();
    // Takes what the controls show into choice_ and tells the window.
    void take();
    void tickAll(QListWidget* list, bool ticked);

    engine::PracticeChoice choice_;
    bool showing_ = false; // the program, not the player, is setting controls
};

} // namespace shell
