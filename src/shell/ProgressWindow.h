#pragma once

// The Progress window: for one exercise, key and staff, accuracy, median
// response time and questions per day over a chosen range, the streak of
// practice days, a heat map of the notes on a grand staff and a piano
// keyboard, a table of interval or chord kinds, and the export of the
// history as CSV. Not modal; it reads the history and never writes it.

#include "history/Progress.h"
#include "platform/MessageBoxes.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QChartView;
class QComboBox;
class QLabel;
class QLineSeries;
class QPushButton;
class QTableWidget;

namespace shell {

// A heat-map cell's colour: the hue goes from red (none right) through
// yellow to green (all right), and the slower the median answer the paler
// the colour, so that a slow note stands out from a quick one of the same
// accuracy. Never asked: a neutral grey.
QColor heatColour(const history::Figures& figures);
inline const QColor NeverAskedColour{216, 216, 216};

// "E4: 12 of 15 right (80 %), median 1.4 s"; "E4: never asked".
QString figuresText(const QString& name, const history::Figures& figures);

// How the trainer writes a pitch in the key of signature index `key`.
struct SpelledPitch {
    int step = 0; // diatonic steps above C0 of the written letter: 7 * octave + letter - 1
    int sign = 0; // the accidental written: 0 none, 1 sharp, -1 flat, 2 natural
    QString name; // "F#4", "Bb3", "Cb5"
};
SpelledPitch spellPitch(std::int32_t key, int pitch);

// The notes' heat map: a grand staff with a head per note, and a piano
// keyboard over the same pitches, each coloured by heatColour. Hovering a
// head or a key shows its figures.
class NoteHeatMap : public QWidget {
public:
    explicit NoteHeatMap(QWidget* parent);

    // Shows the scale notes of the staff's range, and every other pitch that
    // was asked, spelled in `key`.
    void setFigures(std::int32_t key, const std::string& staff,
                    const std::map<int, history::Figures>& pitches);
    const std::vector<int>& shownPitches() const { return pitches_; }
    // Takes the clefs from the trainer's staff picture (the pack's whole
    // staff, 313 x 300); without it the staves are named in words.
    void setClefs(const QImage& staffPicture);

    // Where a shown pitch's head and key are drawn (empty when not shown);
    // a key's rectangle is the part no other key covers.
    QRect headRect(int pitch) const;
    QRect keyRect(int pitch) const;
    // The pitch of the head or key at `at`.
    std::optional<int> pitchAt(QPoint at) const;
    // The hover text at `at`; empty off every note.
    QString toolTipAt(QPoint at) const;

    QSize sizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int headCentreY(int pitch) const;
    int keyboardLeftPitch() const;
    int whiteKeyIndex(int pitch) const;
    history::Figures figuresOf(int pitch) const;

    std::int32_t key_ = 0;
    QImage trebleClef_;
    QImage bassClef_;
    std::vector<int> pitches_;
    std::map<int, history::Figures> figures_;
};

class ProgressWindow : public QWidget {
    Q_OBJECT

public:
    // `store` and `messages` must outlive the window; `nowMs` gives the time
    // in the store's terms (local wall-clock milliseconds since 1970).
    ProgressWindow(QWidget* parent, const history::HistoryStore& store,
                   platform::MessageBoxes& messages, std::function<std::int64_t()> nowMs);
    ~ProgressWindow() override;

    // Shows `exercise` (engine::exerciseId), `key` and `staff` ("treble",
    // "bass", "both") and reads the history again. Answers still waiting in
    // the store are not shown: flush it first.
    void showScope(const std::string& exercise, std::int32_t key, const std::string& staff);
    // Reads the history again for what is shown.
    void refresh();

    // Writes the whole history, or the answers of the shown scope and range,
    // as CSV to `file`. A file that cannot be written is told once, naming
    // it; false then.
    bool exportCsv(const std::filesystem::path& file, bool wholeHistory);
    // Asks where to export (QFileDialog unless replaced); empty to cancel.
    std::function<QString(const QString& suggested)> chooseSaveFile;

    const history::ProgressScope& scope() const { return scope_; }
    const history::ProgressFigures& figures() const { return figures_; }
    history::ProgressRange range() const;

    QLabel* scopeLabel = nullptr;
    QLabel* streakLabel = nullptr;
    QLabel* emptyLabel = nullptr;
    QComboBox* rangeBox = nullptr; // "7 days", "30 days", "365 days", "All"
    QPushButton* exportButton = nullptr;
    QAction* exportWhole = nullptr;
    QAction* exportRange = nullptr;
    QChartView* accuracyView = nullptr;
    QChartView* timeView = nullptr;
    QChartView* questionsView = nullptr;
    QLineSeries* accuracySeries = nullptr;  // percent right, days with answers
    QLineSeries* timeSeries = nullptr;      // median seconds, days with timed answers
    QLineSeries* questionsSeries = nullptr; // every day of the range
    NoteHeatMap* heatMap = nullptr;
    QTableWidget* kindsTable = nullptr; // intervals and chords; hidden otherwise

private:
    void exportAsked(bool wholeHistory);
    void fillCharts();
    void fillKinds();

    const history::HistoryStore& store_;
    platform::MessageBoxes& messages_;
    std::function<std::int64_t()> nowMs_;
    history::ProgressScope scope_;
    history::ProgressFigures figures_;
};

} // namespace shell
