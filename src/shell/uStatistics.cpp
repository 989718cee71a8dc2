#include "shell/uStatistics.h"

#include "platform/Files.h"
#include "scores/uHighscore.h"
#include "shell/Controls.h"
#include "shell/uMain.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <string>

namespace shell {

namespace {

// The score table's box as designed; it grows for long names.
constexpr int NoteStatsWidth = 159;

enum Table { Notes = 0, Intervals = 1, Chords = 2 };

// The table a player of `kind` most wants to see first.
int tableOf(engine::ExerciseKind kind)
{
    using engine::ExerciseKind;
    switch (kind) {
    case ExerciseKind::Intervals:
    case ExerciseKind::Mixed:
        return Intervals;
    case ExerciseKind::Chords:
    case ExerciseKind::Progression:
        return Chords;
    default:
        return Notes;
    }
}

QComboBox* makeSelector(QWidget* parent, const char* name, const char* title, int top)
{
    makeLabel(parent, title, 8, top, 215, 16, uiFont(9));
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(8, top + 17, 215, 24);
    combo->setFont(uiFont(9));
    return combo;
}

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
    Label1 = makeLabel(this, "C Major", 298, 25, 112 + 40, 37, uiFont(24));
    mTimeScore = makeTextBox(this, "mTimeScore", 232, 90, 237, 57, bodyFont());
    bResetTimeScore = makeButton(this, "Reset", 473, 101, 43, 17);
    mNoteStats = makeTextBox(this, "mNoteStats", 272, 152, NoteStatsWidth, 280, bodyFont());
    bResetNotes = makeButton(this, "Reset", 328, 434, 43, 17);
    bClose = makeButton(this, "Close", 312, 472, 75, 25);

    cMode = makeSelector(this, "cMode", "Scores of", 90);
    cMode->addItem(QStringLiteral("Exercises in a major key"));
    cMode->addItem(QStringLiteral("Minor scales"));
    cKey = makeSelector(this, "cKey", "Key", 140);
    for (std::int32_t k = 0; k < notation::SignatureCount; ++k)
        cKey->addItem(QString()); // named by fill(), for the mode shown
    cStaff = makeSelector(this, "cStaff", "Staff", 190);
    for (int c = 0; c < 3; ++c)
        cStaff->addItem(
            QString::fromUtf8(engine::staffName(static_cast<engine::ClefSetting>(c)).data()));
    cTable = makeSelector(this, "cTable", "Table", 240);
    cTable->addItem(QStringLiteral("Notes"));
    cTable->addItem(QStringLiteral("Intervals"));
    cTable->addItem(QStringLiteral("Chords"));
    const auto refill = [this] {
        if (!selecting_)
            fill();
    };
    for (QComboBox* combo : {cMode, cKey, cStaff, cTable})
        connect(combo, &QComboBox::currentIndexChanged, this, refill);

    connect(bResetTimeScore, &QPushButton::clicked, this, [this] { bResetTimeScoreClick(); });
    connect(bResetNotes, &QPushButton::clicked, this, [this] { bResetNotesClick(); });
    connect(bClose, &QPushButton::clicked, this, [this] { bCloseClick(); });
}

std::int32_t TfStats::mode() const { return cMode->currentIndex() + 1; }
std::int32_t TfStats::key() const { return cKey->currentIndex(); }
std::int32_t TfStats::clefNo() const { return cStaff->currentIndex() + 1; }

void TfStats::fillTimeScore()
{
    std::string text;
    scoreStore_.timescoreStatInfo(mode(), key(), clefNo(), text);
    mTimeScore->setPlainText(boxText(std::move(text)));
}

void TfStats::fillNoteStats()
{
    std::string text;
    switch (cTable->currentIndex()) {
    case Intervals:
        scoreStore_.intervalStatInfo(mode(), key(), clefNo(), text);
        break;
    case Chords:
        scoreStore_.chordStatInfo(mode(), key(), clefNo(), text);
        break;
    default:
        scoreStore_.noteStatInfo(mode(), key(), clefNo(), text);
        break;
    }
    mNoteStats->setPlainText(boxText(std::move(text)));
    // Interval and chord names are longer than the box was drawn for; it
    // grows to the right rather than scroll sideways.
    widenToText(*mNoteStats, NoteStatsWidth, main_.width() - 8 - mNoteStats->x());
}

void TfStats::fill()
{
    // Minor scales are named by their minor key.
    const bool minor = mode() == 2;
    for (std::int32_t s = 0; s < notation::SignatureCount; ++s)
        cKey->setItemText(s, QString::fromStdString(
                                 engine::keyLabel(s, minor ? engine::ExerciseKind::MinorScales
                                                           : engine::ExerciseKind::NotesInKey)));
    const int k = key();
    const auto& names = minor ? notation::MinorKeyNames : notation::MajorKeyNames;
    Label1->setText(QString::fromUtf8(names[static_cast<std::size_t>(k)].data()));
    fillTimeScore();
    fillNoteStats();
}

void TfStats::FormShow()
{
    const engine::PracticeChoice& practice = main_.vars.practice;
    const engine::RunSettings run = practice.runSettings();
    selecting_ = true;
    cMode->setCurrentIndex(static_cast<int>(engine::scoreModeOf(practice.kind)) - 1);
    cKey->setCurrentIndex(run.key);
    cStaff->setCurrentIndex(static_cast<int>(run.clef));
    cTable->setCurrentIndex(tableOf(practice.kind));
    selecting_ = false;
    fill();
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

// The resets clear what is shown. No is the default answer: Return never
// throws scores away.
void TfStats::bResetTimeScoreClick()
{
    if (!main_.messages().askYesNoDefaultNo("Reset time and score for this key and clef?"))
        return;
    const std::int32_t m = mode(), k = key(), c = clefNo();
    resetAndSave([=](scores::THighScore& store) { store.resetTimeScore(m, k, c); });
    fillTimeScore();
}

void TfStats::bResetNotesClick()
{
    const int table = cTable->currentIndex();
    const char* question = table == Intervals ? "Reset interval statistics for this key and clef?"
                           : table == Chords  ? "Reset chord statistics for this key and clef?"
                                              : "Reset note statistics for this key and clef?";
    if (!main_.messages().askYesNoDefaultNo(question))
        return;
    const std::int32_t m = mode(), k = key(), c = clefNo();
    resetAndSave([=](scores::THighScore& store) {
        if (table == Intervals)
            store.resetIntervalStats(m, k, c);
        else if (table == Chords)
            store.resetChordStats(m, k, c);
        else
            store.resetNoteStats(m, k, c);
    });
    fillNoteStats();
}

} // namespace shell
