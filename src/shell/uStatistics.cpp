#include "shell/uStatistics.h"

#include "platform/Files.h"
#include "scores/uHighscore.h"
#include "shell/Controls.h"
#include "shell/uMain.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <string>

namespace shell {

namespace {

// The statistics of score mode 1 (note naming), treble staff.
constexpr std::int32_t ScoreMode = 1;
constexpr std::int32_t Treble = 1;

QString boxText(std::string text)
{
    std::erase(text, '\r');
    return QString::fromStdString(text);
}

} // namespace

TfStats::TfStats(TfMain& main, scores::THighScore& scoreStore)
    : TEmbeddedWindow(main),
      main_(main),
      scoreStore_(scoreStore)
{
    setObjectName(QStringLiteral("fStats"));
    setWindowTitle(QStringLiteral("Statistics"));
    Label1 = makeLabel(this, "C Major", 298, 25, 112 + 40, 37, sansFont(32));
    mTimeScore = makeTextBox(this, "mTimeScore", 232, 90, 237, 57, sansFont(8, true));
    bResetTimeScore = makeButton(this, "Reset", 473, 101, 43, 17);
    mNoteStats = makeTextBox(this, "mNoteStats", 272, 152, 159, 280, sansFont(8, true));
    bResetNotes = makeButton(this, "Reset", 328, 434, 43, 17);
    bClose = makeButton(this, "Close", 312, 472, 75, 25);
    connect(bResetTimeScore, &QPushButton::clicked, this, [this] { bResetTimeScoreClick(); });
    connect(bResetNotes, &QPushButton::clicked, this, [this] { bResetNotesClick(); });
    connect(bClose, &QPushButton::clicked, this, [this] { bCloseClick(); });
}

void TfStats::fillTimeScore()
{
    std::string text;
    scoreStore_.timescoreStatInfo(ScoreMode, main_.vars.keySignature->getCurrentKey(), Treble,
                                  text);
    mTimeScore->setPlainText(boxText(std::move(text)));
}

void TfStats::fillNoteStats()
{
    std::string text;
    scoreStore_.noteStatInfo(ScoreMode, main_.vars.keySignature->getCurrentKey(), Treble, text);
    mNoteStats->setPlainText(boxText(std::move(text)));
}

void TfStats::FormShow()
{
    fillTimeScore();
    fillNoteStats();
}

void TfStats::resetAndSave(const std::function<void(scores::THighScore&)>& reset)
{
    try {
        reset(scoreStore_);
    } catch (const platform::FileError& e) {
        // The reset stands in memory; the next save tries again.
        main_.messages().showMessage(scoreSaveErrorText(e));
    }
}

// The resets clear C major, the program's only key. No is the default
// answer: Return never throws scores away.
void TfStats::bResetTimeScoreClick()
{
    if (!main_.messages().askYesNoDefaultNo("Reset time and score for this key and clef?"))
        return;
    resetAndSave([](scores::THighScore& store) { store.resetTimeScore(ScoreMode, 0, Treble); });
    fillTimeScore();
}

void TfStats::bResetNotesClick()
{
    if (!main_.messages().askYesNoDefaultNo("Reset note statistics for this key and clef?"))
        return;
    resetAndSave([](scores::THighScore& store) { store.resetNoteStats(ScoreMode, 0, Treble); });
    fillNoteStats();
}

} // namespace shell
