#include "shell/ProgressWindow.h"

#include "engine/Practice.h"
#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uMusicalStaff.h"

#include <QAction>
#include <QBrush>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineSeries>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <system_error>

namespace shell {

namespace {

using history::Figures;

// Medians at or under FastMs keep the full colour; at SlowMs and beyond
// they are as pale as MostPale.
constexpr double FastMs = 1000;
constexpr double SlowMs = 5000;
constexpr double MostPale = 0.7;

QColor paled(const QColor& c, double paleness)
{
    const auto towardWhite = [paleness](int v) {
        return static_cast<int>(std::lround(v + (255 - v) * paleness));
    };
    return QColor(towardWhite(c.red()), towardWhite(c.green()), towardWhite(c.blue()));
}

QColor accuracyColour(double accuracy)
{
    return QColor::fromHsvF(static_cast<float>(std::clamp(accuracy, 0.0, 1.0) / 3.0), 0.85f, 0.92f);
}

double palenessOf(const Figures& f)
{
    if (!f.hasMedian())
        return MostPale;
    return std::clamp((f.medianMs - FastMs) / (SlowMs - FastMs), 0.0, 1.0) * MostPale;
}

QString secondsText(double ms) { return QString::number(ms / 1000.0, 'f', 1) + " s"; }

QString percentText(const Figures& f)
{
    return QString::number(std::lround(f.accuracy() * 100)) + " %";
}

// The x of a day on the charts: its local noon.
qint64 chartX(std::int64_t day)
{
    return QDateTime(QDate(1970, 1, 1).addDays(day), QTime(12, 0)).toMSecsSinceEpoch();
}

// --- The heat map's geometry ------------------------------------------------
// 5 px a diatonic step; the treble staff's lines are E4..F5, the bass
// staff's G2..A3. Pitches from middle C up go on the treble staff.
constexpr int StepPx = 5;
constexpr int Left = 88;
constexpr int SystemLeft = Left - 46; // the staves' first column; the clefs lie after it
constexpr int ClefAbove = 18;         // rows of a clef above its staff's top line
constexpr int ColumnWidth = 22;
constexpr int TrebleTopLineY = 48;   // F5
constexpr int BassTopLineY = 128;    // A3
constexpr int TrebleTopStep = 38;    // F5
constexpr int TrebleBottomStep = 30; // E4
constexpr int BassTopStep = 26;      // A3
constexpr int BassBottomStep = 18;   // G2
constexpr int KeyboardTop = 214;
constexpr int WhiteWidth = 14;
constexpr int WhiteHeight = 64;
constexpr int BlackWidth = 9;
constexpr int BlackHeight = 40;
constexpr int LegendTop = KeyboardTop + WhiteHeight + 14;
constexpr int MapHeight = LegendTop + 44;
constexpr int LowestShown = notation::BassTableLow;     // C2
constexpr int HighestShown = notation::TrebleTableHigh; // E6: the session's treble staff reaches it

bool onTreble(int pitch) { return pitch >= 60; }

bool isBlack(int pitch)
{
    return notation::BlackKeys[static_cast<std::size_t>(notation::pitchClassOf(pitch))] == 1;
}

} // namespace

QColor heatColour(const Figures& f)
{
    if (f.asked == 0)
        return NeverAskedColour;
    return paled(accuracyColour(f.accuracy()), palenessOf(f));
}

QString figuresText(const QString& name, const Figures& f)
{
    if (f.asked == 0)
        return name + ": never asked";
    QString text = name + ": " + QString::number(f.right) + " of " + QString::number(f.asked) +
                   " right (" + percentText(f) + ")";
    return text + (f.hasMedian() ? ", median " + secondsText(f.medianMs) : ", never answered");
}

SpelledPitch spellPitch(std::int32_t key, int pitch)
{
    using namespace notation;
    const auto s = static_cast<std::size_t>(std::clamp(key, 0, SignatureCount - 1));
    const int pc = pitchClassOf(pitch);
    const bool sharps = SharpKeys[s] == 1;
    int letter = sharps ? SharpLetters[static_cast<std::size_t>(pc)]
                        : FlatLetters[static_cast<std::size_t>(pc)];
    int octave = octaveOf(pitch);
    // G flat major writes B as C flat, on the C above.
    if (s == GFlatMajor && pc == 11) {
        letter = 1;
        octave = octaveOf(pitch + 1);
    }
    SpelledPitch spelled;
    spelled.step = 7 * octave + letter - 1;
    // As a note of the exercises: none in the scale; a flat key writes a
    // foreign pitch as a flat, a sharp key as a sharp, or a natural where
    // the signature alters the letter.
    if ((ScaleMasks[s] >> pc & 1u) == 0) {
        const int neighbour = pitchClassOf(sharps ? pc + 1 : pc - 1);
        spelled.sign = KeyTable[s].altered[static_cast<std::size_t>(neighbour)] == 1 ? 2
                       : sharps                                                      ? 1
                                                                                     : -1;
    }
    constexpr std::array<int, 8> NaturalPitchClass{0, 0, 2, 4, 5, 7, 9, 11};
    constexpr std::string_view Letters = " CDEFGAB";
    int alteration = pc - NaturalPitchClass[static_cast<std::size_t>(letter)];
    if (alteration > 6)
        alteration -= 12;
    if (alteration < -6)
        alteration += 12;
    spelled.name = QString(QChar(Letters[static_cast<std::size_t>(letter)])) +
                   (alteration > 0   ? "#"
                    : alteration < 0 ? "b"
                                     : "") +
                   QString::number(octave);
    return spelled;
}

// --- NoteHeatMap --------------------------------------------------------------

NoteHeatMap::NoteHeatMap(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("heatMap"));
    setMouseTracking(true);
    setMinimumSize(sizeHint());
}

void NoteHeatMap::setFigures(std::int32_t key, const std::string& staff,
                             const std::map<int, Figures>& pitches)
{
    key_ = key;
    figures_ = pitches;
    const int low = staff == "treble" ? notation::TrebleTableLow : LowestShown;
    const int high = staff == "bass" ? notation::BassTableHigh : HighestShown;
    const auto mask = notation::ScaleMasks[static_cast<std::size_t>(
        std::clamp(key, 0, notation::SignatureCount - 1))];
    pitches_.clear();
    for (int p = LowestShown; p <= HighestShown; ++p) {
        const bool inScale = (mask >> notation::pitchClassOf(p) & 1u) != 0;
        const auto asked = pitches.find(p);
        if ((inScale && p >= low && p <= high) ||
            (asked != pitches.end() && asked->second.asked > 0))
            pitches_.push_back(p);
    }
    setMinimumSize(sizeHint());
    updateGeometry();
    update();
}

QSize NoteHeatMap::sizeHint() const
{
    const int columns = std::max<int>(static_cast<int>(pitches_.size()), 31);
    const int staffWidth = Left + columns * ColumnWidth + 8;
    const int keyboardWidth = Left + 32 * WhiteWidth + 8;
    return {std::max({staffWidth, keyboardWidth, 420}), MapHeight};
}

history::Figures NoteHeatMap::figuresOf(int pitch) const
{
    const auto found = figures_.find(pitch);
    return found != figures_.end() ? found->second : Figures{};
}

int NoteHeatMap::headCentreY(int pitch) const
{
    const int step = spellPitch(key_, pitch).step;
    if (onTreble(pitch))
        return TrebleTopLineY + (TrebleTopStep - step) * StepPx;
    return BassTopLineY + (BassTopStep - step) * StepPx;
}

QRect NoteHeatMap::headRect(int pitch) const
{
    const auto at = std::find(pitches_.begin(), pitches_.end(), pitch);
    if (at == pitches_.end())
        return {};
    const int centreX =
        Left + static_cast<int>(at - pitches_.begin()) * ColumnWidth + ColumnWidth / 2 + 3;
    return {centreX - 6, headCentreY(pitch) - 5, 13, 10};
}

int NoteHeatMap::keyboardLeftPitch() const
{
    int low = pitches_.empty() ? 60 : pitches_.front();
    while (isBlack(low))
        --low;
    return low;
}

int NoteHeatMap::whiteKeyIndex(int pitch) const
{
    int index = 0;
    for (int p = keyboardLeftPitch(); p < pitch; ++p)
        index += isBlack(p) ? 0 : 1;
    return index;
}

QRect NoteHeatMap::keyRect(int pitch) const
{
    if (std::find(pitches_.begin(), pitches_.end(), pitch) == pitches_.end() &&
        (pitches_.empty() || pitch < keyboardLeftPitch() || pitch > pitches_.back() + 1))
        return {};
    const int x = Left + whiteKeyIndex(pitch) * WhiteWidth;
    if (isBlack(pitch))
        return {x - BlackWidth / 2, KeyboardTop, BlackWidth, BlackHeight};
    // Below the black keys a white key is its own.
    return {x, KeyboardTop + BlackHeight, WhiteWidth, WhiteHeight - BlackHeight};
}

std::optional<int> NoteHeatMap::pitchAt(QPoint at) const
{
    for (const int p : pitches_)
        if (headRect(p).adjusted(-3, -3, 3, 3).contains(at))
            return p;
    if (pitches_.empty() || at.y() < KeyboardTop || at.y() >= KeyboardTop + WhiteHeight)
        return std::nullopt;
    const int low = keyboardLeftPitch();
    const int high = pitches_.back();
    // Black keys lie over the white ones.
    for (int p = low; p <= high; ++p)
        if (isBlack(p) && keyRect(p).contains(at))
            return p;
    for (int p = low; p <= high; ++p) {
        if (isBlack(p))
            continue;
        const int x = Left + whiteKeyIndex(p) * WhiteWidth;
        if (at.x() >= x && at.x() < x + WhiteWidth)
            return p;
    }
    return std::nullopt;
}

QString NoteHeatMap::toolTipAt(QPoint at) const
{
    const std::optional<int> pitch = pitchAt(at);
    if (!pitch)
        return {};
    return figuresText(spellPitch(key_, *pitch).name, figuresOf(*pitch));
}

bool NoteHeatMap::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void NoteHeatMap::setClefs(const QImage& staffPicture)
{
    // The trainer's own staff picture: its treble staff's top line is row
    // 80, its bass staff's row 180, and the clefs lie between its brace and
    // column 46.
    constexpr int PictureTreble = 80;
    constexpr int PictureBass = 180;
    constexpr int ClefLeft = 11;
    constexpr int ClefWidth = 34;
    constexpr int ClefBelow =
        30; // rows below the top line the bass clef, or the treble's tail, reach
    // A denser picture (device pixel ratio 2 or 3) is cut at its own pixels.
    const int k = std::max(1, static_cast<int>(std::lround(staffPicture.devicePixelRatio())));
    if (staffPicture.width() < k * (ClefLeft + ClefWidth) ||
        staffPicture.height() < k * (PictureBass + 8 * StepPx + ClefBelow)) {
        trebleClef_ = bassClef_ = QImage();
    } else {
        trebleClef_ = staffPicture.copy(k * ClefLeft, k * (PictureTreble - ClefAbove),
                                        k * ClefWidth, k * (ClefAbove + 8 * StepPx + ClefBelow));
        bassClef_ = staffPicture.copy(k * ClefLeft, k * (PictureBass - ClefAbove), k * ClefWidth,
                                      k * (ClefAbove + 8 * StepPx + 4));
        trebleClef_.setDevicePixelRatio(k);
        bassClef_.setDevicePixelRatio(k);
    }
    update();
}

void NoteHeatMap::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    const int right = Left + std::max<int>(static_cast<int>(pitches_.size()), 1) * ColumnWidth;
    const QColor ink(40, 40, 40);

    // The staves.
    // Lines one pixel high on the pixel rows of the staff's lines, as the
    // trainer's staff has them.
    painter.setPen(QPen(ink, 1));
    const auto row = [](int y) { return y + 0.5; };
    for (int line = 0; line < 5; ++line) {
        for (const int top : {TrebleTopLineY, BassTopLineY})
            painter.drawLine(QLineF(SystemLeft, row(top + line * 2 * StepPx), right,
                                    row(top + line * 2 * StepPx)));
    }
    painter.drawLine(
        QLineF(SystemLeft + 0.5, TrebleTopLineY, SystemLeft + 0.5, BassTopLineY + 8 * StepPx + 1));
    QFont small = font();
    small.setPixelSize(11);
    painter.setFont(small);
    if (!trebleClef_.isNull() && !bassClef_.isNull()) {
        painter.drawImage(QPoint(SystemLeft + 4, TrebleTopLineY - ClefAbove), trebleClef_);
        painter.drawImage(QPoint(SystemLeft + 4, BassTopLineY - ClefAbove), bassClef_);
    } else {
        painter.drawText(QRect(SystemLeft + 2, TrebleTopLineY, Left - SystemLeft - 6, 8 * StepPx),
                         Qt::AlignCenter, QStringLiteral("Treble"));
        painter.drawText(QRect(SystemLeft + 2, BassTopLineY, Left - SystemLeft - 6, 8 * StepPx),
                         Qt::AlignCenter, QStringLiteral("Bass"));
    }

    QFont signs = font();
    signs.setPixelSize(14);
    for (const int p : pitches_) {
        const QRect head = headRect(p);
        const SpelledPitch spelled = spellPitch(key_, p);
        // Ledger lines from the staff out to the note.
        const int top = onTreble(p) ? TrebleTopStep : BassTopStep;
        const int bottom = onTreble(p) ? TrebleBottomStep : BassBottomStep;
        const int lineTop = onTreble(p) ? TrebleTopLineY : BassTopLineY;
        painter.setPen(QPen(ink, 1));
        for (int step = top + 2; step <= spelled.step; step += 2) {
            const double y = row(lineTop - (step - top) * StepPx);
            painter.drawLine(QLineF(head.left() - 4, y, head.right() + 4, y));
        }
        for (int step = bottom - 2; step >= spelled.step; step -= 2) {
            const double y = row(lineTop + (top - step) * StepPx);
            painter.drawLine(QLineF(head.left() - 4, y, head.right() + 4, y));
        }
        painter.setBrush(heatColour(figuresOf(p)));
        painter.drawEllipse(head);
        if (spelled.sign != 0) {
            painter.setFont(signs);
            const QString sign = spelled.sign == 1    ? QStringLiteral("\u266F")
                                 : spelled.sign == -1 ? QStringLiteral("\u266D")
                                                      : QStringLiteral("\u266E");
            painter.drawText(QRect(head.left() - 11, head.top() - 6, 10, 20), Qt::AlignCenter,
                             sign);
        }
    }

    // The keyboard: white keys, then the black ones over them.
    if (!pitches_.empty()) {
        const int low = keyboardLeftPitch();
        const int high = pitches_.back();
        painter.setPen(QPen(ink, 1));
        for (int p = low; p <= high + 1; ++p) {
            if (isBlack(p))
                continue;
            const Figures f = figuresOf(p);
            painter.setBrush(f.asked > 0 ? heatColour(f) : QColor(Qt::white));
            painter.drawRect(Left + whiteKeyIndex(p) * WhiteWidth, KeyboardTop, WhiteWidth,
                             WhiteHeight);
        }
        for (int p = low; p <= high; ++p) {
            if (!isBlack(p))
                continue;
            const Figures f = figuresOf(p);
            painter.setBrush(f.asked > 0 ? heatColour(f) : QColor(50, 50, 50));
            painter.drawRect(keyRect(p));
        }
    }

    // The legend: accuracy by hue, speed by paleness.
    painter.setFont(small);
    painter.setPen(ink);
    QLinearGradient hue(Left, 0, Left + 160, 0);
    for (int i = 0; i <= 4; ++i)
        hue.setColorAt(i / 4.0, accuracyColour(i / 4.0));
    painter.setBrush(hue);
    painter.drawRect(Left, LegendTop, 160, 12);
    painter.drawText(Left, LegendTop + 26, QStringLiteral("0 % right"));
    painter.drawText(Left + 118, LegendTop + 26, QStringLiteral("100 %"));
    int x = Left + 190;
    for (const double ms : {FastMs, 3000.0, SlowMs}) {
        Figures f;
        f.asked = f.right = f.timed = 1;
        f.medianMs = ms;
        painter.setBrush(heatColour(f));
        painter.drawRect(x, LegendTop, 24, 12);
        painter.drawText(x - 4, LegendTop + 26,
                         ms == SlowMs ? QStringLiteral("5 s+") : secondsText(ms));
        x += 44;
    }
    painter.drawText(x, LegendTop + 10, QStringLiteral("slower = paler"));
    painter.setBrush(NeverAskedColour);
    painter.drawRect(x, LegendTop + 16, 24, 12);
    painter.drawText(x + 30, LegendTop + 26, QStringLiteral("never asked"));
}

// --- ProgressWindow -----------------------------------------------------------

namespace {

QChartView* makeChart(QWidget* parent, const char* name, const char* title, QLineSeries*& series,
                      const char* unit, const char* labelFormat)
{
    auto* chart = new QChart();
    chart->setTitle(QString::fromUtf8(title));
    chart->legend()->hide();
    series = new QLineSeries(chart);
    series->setPointsVisible(true);
    chart->addSeries(series);
    auto* x = new QDateTimeAxis(chart);
    x->setFormat(QStringLiteral("d MMM"));
    auto* y = new QValueAxis(chart);
    y->setTitleText(QString::fromUtf8(unit));
    y->setLabelFormat(QString::fromUtf8(labelFormat));
    QFont labels = x->labelsFont();
    labels.setPixelSize(10);
    x->setLabelsFont(labels);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QString::fromUtf8(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(300, 220);
    return view;
}

void setAxes(QLineSeries* series, const history::ProgressFigures& f, double yTop)
{
    const auto axes = series->attachedAxes();
    for (QAbstractAxis* axis : axes) {
        if (auto* x = qobject_cast<QDateTimeAxis*>(axis)) {
            x->setRange(QDateTime::fromMSecsSinceEpoch(chartX(f.firstDay) - 12 * 3'600'000),
                        QDateTime::fromMSecsSinceEpoch(chartX(f.lastDay) + 12 * 3'600'000));
            const std::int64_t days = f.lastDay - f.firstDay + 1;
            // Level labels as wide as "28 Feb" side by side fit five.
            x->setTickCount(static_cast<int>(std::clamp<std::int64_t>(days + 1, 2, 5)));
            x->setFormat(days > 60 ? QStringLiteral("MMM yy") : QStringLiteral("d MMM"));
        } else if (auto* y = qobject_cast<QValueAxis*>(axis)) {
            y->setRange(0, yTop);
            y->setTickCount(5);
            y->applyNiceNumbers(); // 0, 25, 50, ... rather than 0, 28, 56, ...
        }
    }
}

std::string safeName(std::string text)
{
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
            c = '-';
    return text;
}

} // namespace

ProgressWindow::ProgressWindow(QWidget* parent, const history::HistoryStore& store,
                               platform::MessageBoxes& messages,
                               std::function<std::int64_t()> nowMs)
    : QWidget(parent, Qt::Window),
      store_(store),
      messages_(messages),
      nowMs_(std::move(nowMs))
{
    setObjectName(QStringLiteral("fProgress"));
    setWindowTitle(QStringLiteral("Progress"));
    chooseSaveFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Export the history"), suggested,
                                            QStringLiteral("CSV files (*.csv)"));
    };

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout();
    scopeLabel = new QLabel(this);
    scopeLabel->setObjectName(QStringLiteral("scopeLabel"));
    QFont big = scopeLabel->font();
    big.setPixelSize(16);
    big.setBold(true);
    scopeLabel->setFont(big);
    top->addWidget(scopeLabel, 1);
    rangeBox = new QComboBox(this);
    rangeBox->setObjectName(QStringLiteral("rangeBox"));
    for (const char* name : {"7 days", "30 days", "365 days", "All"})
        rangeBox->addItem(QString::fromUtf8(name));
    rangeBox->setCurrentIndex(1);
    top->addWidget(rangeBox);
    exportButton = new QPushButton(QStringLiteral("Export…"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    auto* menu = new QMenu(exportButton);
    exportWhole = menu->addAction(QStringLiteral("Whole history…"));
    exportRange = menu->addAction(QStringLiteral("Shown range…"));
    exportButton->setMenu(menu);
    top->addWidget(exportButton);
    layout->addLayout(top);

    auto* status = new QHBoxLayout();
    streakLabel = new QLabel(this);
    streakLabel->setObjectName(QStringLiteral("streakLabel"));
    status->addWidget(streakLabel);
    emptyLabel = new QLabel(this);
    emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    status->addWidget(emptyLabel, 1);
    layout->addLayout(status);

    auto* charts = new QHBoxLayout();
    accuracyView =
        makeChart(this, "accuracyChart", "Accuracy per day", accuracySeries, "%", "%.0f");
    timeView =
        makeChart(this, "timeChart", "Median response time per day", timeSeries, "s", "%.1f");
    questionsView =
        makeChart(this, "questionsChart", "Questions per day", questionsSeries, "", "%.0f");
    for (QChartView* view : {accuracyView, timeView, questionsView})
        charts->addWidget(view);
    layout->addLayout(charts, 1);

    auto* bottom = new QHBoxLayout();
    heatMap = new NoteHeatMap(this);
    bottom->addWidget(heatMap);
    kindsTable = new QTableWidget(0, 4, this);
    kindsTable->setObjectName(QStringLiteral("kindsTable"));
    kindsTable->setHorizontalHeaderLabels({QStringLiteral("Kind"), QStringLiteral("Asked"),
                                           QStringLiteral("Right"), QStringLiteral("Median")});
    kindsTable->verticalHeader()->hide();
    kindsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    kindsTable->setSelectionMode(QAbstractItemView::NoSelection);
    kindsTable->setMinimumWidth(330);
    bottom->addWidget(kindsTable, 1);
    layout->addLayout(bottom);

    connect(rangeBox, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
    connect(exportWhole, &QAction::triggered, this, [this] { exportAsked(true); });
    connect(exportRange, &QAction::triggered, this, [this] { exportAsked(false); });
    resize(1040, 680);
}

ProgressWindow::~ProgressWindow() = default;

history::ProgressRange ProgressWindow::range() const
{
    switch (rangeBox->currentIndex()) {
    case 0:
        return history::ProgressRange::Days7;
    case 2:
        return history::ProgressRange::Days365;
    case 3:
        return history::ProgressRange::All;
    default:
        return history::ProgressRange::Days30;
    }
}

void ProgressWindow::showScope(const std::string& exercise, std::int32_t key,
                               const std::string& staff)
{
    scope_ = {exercise, key, staff};
    refresh();
}

void ProgressWindow::refresh()
{
    figures_ = history::progressOf(store_, scope_, range(), nowMs_());

    const std::optional<engine::ExerciseKind> kind = engine::exerciseFromId(scope_.exercise);
    const std::optional<engine::ClefSetting> clef = engine::staffFromId(scope_.staff);
    const bool knownKey = scope_.key >= 0 && scope_.key < notation::SignatureCount;
    QString title =
        kind ? QString::fromUtf8(engine::exerciseName(*kind).data(),
                                 static_cast<qsizetype>(engine::exerciseName(*kind).size()))
             : QString::fromStdString(scope_.exercise);
    if (knownKey)
        title += QStringLiteral(" \u2014 ") +
                 QString::fromStdString(
                     engine::keyLabel(scope_.key, kind.value_or(engine::ExerciseKind::NotesInKey)));
    title += QStringLiteral(" \u2014 ") +
             (clef ? QString::fromUtf8(engine::staffName(*clef).data(),
                                       static_cast<qsizetype>(engine::staffName(*clef).size()))
                   : QString::fromStdString(scope_.staff));
    scopeLabel->setText(title);

    streakLabel->setText(
        QStringLiteral("Streak: %1 %2")
            .arg(figures_.streakDays)
            .arg(figures_.streakDays == 1 ? QStringLiteral("day") : QStringLiteral("days")));
    if (figures_.total.asked > 0)
        emptyLabel->clear();
    else if (!store_.latestAnswer(history::rangeFilter(scope_,
                                                       std::numeric_limits<std::int64_t>::min(),
                                                       std::numeric_limits<std::int64_t>::max())))
        emptyLabel->setText(QStringLiteral("No answers yet for this exercise, key and staff."));
    else
        emptyLabel->setText(QStringLiteral("No answers in the shown range."));

    fillCharts();
    // Notes in C are asked in C major whatever the key chosen.
    const std::int32_t spellingKey =
        kind == engine::ExerciseKind::NotesInC || !knownKey ? 0 : scope_.key;
    heatMap->setFigures(spellingKey, scope_.staff, figures_.pitches);
    fillKinds();
}

void ProgressWindow::fillCharts()
{
    QList<QPointF> accuracy, time, questions;
    double slowest = 0;
    int most = 0;
    auto day = figures_.days.begin();
    for (std::int64_t d = figures_.firstDay; d <= figures_.lastDay; ++d) {
        const auto x = static_cast<double>(chartX(d));
        if (day != figures_.days.end() && day->day == d) {
            const Figures& f = day->figures;
            accuracy.append({x, f.accuracy() * 100});
            if (f.hasMedian()) {
                time.append({x, f.medianMs / 1000});
                slowest = std::max(slowest, f.medianMs / 1000);
            }
            questions.append({x, static_cast<double>(f.asked)});
            most = std::max(most, f.asked);
            ++day;
        } else {
            questions.append({x, 0});
        }
    }
    accuracySeries->replace(accuracy);
    timeSeries->replace(time);
    questionsSeries->replace(questions);
    setAxes(accuracySeries, figures_, 100);
    setAxes(timeSeries, figures_, slowest > 0 ? std::ceil(slowest * 1.1) : 1);
    setAxes(questionsSeries, figures_, most > 0 ? std::ceil(most * 1.1) : 1);
}

void ProgressWindow::fillKinds()
{
    struct Family {
        const std::map<int, Figures>& figures;
        std::span<const std::string_view> names;
    };
    std::vector<Family> families;
    const std::string& e = scope_.exercise;
    if (e == "intervals" || e == "mixed")
        families.push_back({figures_.intervals, std::span(notation::IntervalNames).subspan(1)});
    if (e == "chords" || e == "progressions" || e == "mixed")
        families.push_back({figures_.chords, std::span(notation::ChordNames).subspan(1)});
    kindsTable->setVisible(!families.empty());
    kindsTable->setRowCount(0);
    for (const Family& family : families) {
        for (std::size_t i = 0; i < family.names.size(); ++i) {
            const auto found = family.figures.find(static_cast<int>(i + 1));
            const Figures f = found != family.figures.end() ? found->second : Figures{};
            const int row = kindsTable->rowCount();
            kindsTable->insertRow(row);
            const QStringList cells{
                QString::fromUtf8(family.names[i].data(),
                                  static_cast<qsizetype>(family.names[i].size())),
                QString::number(f.asked), f.asked > 0 ? percentText(f) : QStringLiteral("\u2014"),
                f.hasMedian() ? secondsText(f.medianMs) : QStringLiteral("\u2014")};
            for (int c = 0; c < cells.size(); ++c) {
                auto* item = new QTableWidgetItem(cells[c]);
                item->setBackground(heatColour(f));
                item->setForeground(QColor(20, 20, 20));
                if (c > 0)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                kindsTable->setItem(row, c, item);
            }
        }
    }
    kindsTable->resizeColumnsToContents();
}

void ProgressWindow::exportAsked(bool wholeHistory)
{
    const std::string suggested =
        wholeHistory ? "history.csv"
                     : "history-" + safeName(scope_.exercise) + "-" +
                           std::string(engine::keyId(std::clamp(scope_.key, 0, 11))) + "-" +
                           safeName(scope_.staff) + ".csv";
    const QString chosen = chooseSaveFile(QString::fromStdString(suggested));
    if (chosen.isEmpty())
        return;
    exportCsv(std::filesystem::path(chosen.toStdU16String()), wholeHistory);
}

bool ProgressWindow::exportCsv(const std::filesystem::path& file, bool wholeHistory)
{
    const std::vector<history::AnswerRow> rows =
        wholeHistory ? store_.answers()
                     : store_.answers(history::rangeFilter(scope_, figures_.fromMs, figures_.toMs));
    // Written beside the file and renamed over it, so a failure never
    // leaves half a file where an old one was.
    std::filesystem::path part = file;
    part += ".part";
    std::string why;
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        if (!out)
            why = std::error_code(errno, std::generic_category()).message();
        else {
            history::writeCsv(rows, out);
            out.flush();
            if (!out)
                why = std::error_code(errno, std::generic_category()).message();
        }
    }
    std::error_code error;
    if (why.empty()) {
        std::filesystem::rename(part, file, error);
        if (error)
            why = error.message();
    }
    if (why.empty())
        return true;
    std::filesystem::remove(part, error);
    messages_.showMessage("The history could not be exported to " + file.string() + " (" + why +
                          ").");
    return false;
}

} // namespace shell
