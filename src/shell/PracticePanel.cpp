#include "shell/PracticePanel.h"

#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uMusicalStaff.h"
#include "shell/Controls.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace shell {

namespace {

constexpr int Width = 362;
constexpr int Height = 296;
constexpr int Margin = 8;
constexpr int FieldLeft = 78;
constexpr int ListTop = 122;
constexpr int ListHeight = Height - ListTop - Margin;

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QComboBox* makeCombo(QWidget* parent, const char* name, int top)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(FieldLeft, top, Width - FieldLeft - Margin, 24);
    combo->setFont(uiFont(9));
    return combo;
}

QListWidget* makeList(QWidget* parent, const char* name, const auto& names, int count)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setFont(uiFont(9));
    list->setSelectionMode(QAbstractItemView::NoSelection);
    for (int k = 1; k <= count; ++k) {
        auto* item = new QListWidgetItem(text(names[static_cast<std::size_t>(k)]), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    return list;
}

engine::KindFilter ticked(const QListWidget& list)
{
    engine::KindFilter kinds;
    for (int row = 0; row < list.count(); ++row)
        if (list.item(row)->checkState() == Qt::Checked)
            kinds.set(static_cast<std::size_t>(row + 1));
    return kinds;
}

void showTicked(QListWidget& list, const engine::KindFilter& kinds)
{
    for (int row = 0; row < list.count(); ++row)
        list.item(row)->setCheckState(
            kinds.test(static_cast<std::size_t>(row + 1)) ? Qt::Checked : Qt::Unchecked);
}

} // namespace

PracticePanel::PracticePanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("practicePanel"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    resize(Width, Height);
    build();
    showChoice();
}

void PracticePanel::build()
{
    const QFont font = uiFont(9);
    makeLabel(this, "Exercise", Margin, 12, FieldLeft - Margin, 16, font);
    exercise = makeCombo(this, "exercise", 8);
    for (const engine::ExerciseKind kind : engine::AllExercises)
        exercise->addItem(text(engine::exerciseName(kind)));
    makeLabel(this, "Key", Margin, 42, FieldLeft - Margin, 16, font);
    key = makeCombo(this, "key", 38);
    for (std::int32_t k = 0; k < notation::SignatureCount; ++k)
        key->addItem(QString()); // named by nameKeys(), for the exercise shown
    makeLabel(this, "Staff", Margin, 72, FieldLeft - Margin, 16, font);
    staff = makeCombo(this, "staff", 68);
    for (int c = 0; c < 3; ++c)
        staff->addItem(text(engine::staffName(static_cast<engine::ClefSetting>(c))));

    intervalsTitle = makeLabel(this, "Intervals", Margin, 102, 80, 16, font);
    intervals = makeList(this, "intervals", notation::IntervalNames, notation::IntervalKindCount);
    intervalsAll = makeButton(this, "All", 0, 98, 40, 20);
    intervalsNone = makeButton(this, "None", 0, 98, 44, 20);
    chordsTitle = makeLabel(this, "Chords", Margin, 102, 80, 16, font);
    chords = makeList(this, "chords", notation::ChordNames, notation::ChordKindCount);
    chordsAll = makeButton(this, "All", 0, 98, 40, 20);
    chordsNone = makeButton(this, "None", 0, 98, 44, 20);

    progressionTitle = makeLabel(this, "Progression", Margin, 102, FieldLeft - Margin, 16, font);
    progression = makeCombo(this, "progression", 98);
    for (int p = 1; p <= engine::ProgressionCount; ++p)
        progression->addItem(QString::fromStdString(engine::progressionName(p)));
    octavesTitle = makeLabel(this, "Length", Margin, 102, FieldLeft - Margin, 16, font);
    octaves = makeCombo(this, "octaves", 98);
    octaves->addItem(QStringLiteral("One octave"));
    octaves->addItem(QStringLiteral("Two octaves"));

    const auto onChange = [this] {
        if (!showing_)
            take();
    };
    for (QComboBox* combo : {exercise, key, staff, progression, octaves})
        connect(combo, &QComboBox::currentIndexChanged, this, onChange);
    for (QListWidget* list : {intervals, chords})
        connect(list, &QListWidget::itemChanged, this, onChange);
    connect(intervalsAll, &QPushButton::clicked, this, [this] { tickAll(intervals, true); });
    connect(intervalsNone, &QPushButton::clicked, this, [this] { tickAll(intervals, false); });
    connect(chordsAll, &QPushButton::clicked, this, [this] { tickAll(chords, true); });
    connect(chordsNone, &QPushButton::clicked, this, [this] { tickAll(chords, false); });
}

void PracticePanel::tickAll(QListWidget* list, bool tick)
{
    showing_ = true;
    showTicked(*list, tick ? engine::KindFilter{}.set() : engine::KindFilter{});
    showing_ = false;
    take();
}

void PracticePanel::nameKeys()
{
    for (std::int32_t k = 0; k < notation::SignatureCount; ++k)
        key->setItemText(k, QString::fromStdString(engine::keyLabel(k, choice_.kind)));
}

void PracticePanel::arrange()
{
    const engine::PracticeChoice& c = choice_;
    key->setEnabled(c.usesKey());
    staff->setEnabled(c.usesStaff());

    // One list takes the whole width; mixed runs show both side by side.
    const bool both = c.usesIntervals() && c.usesChords();
    const int half = (Width - 3 * Margin) / 2;
    const auto place = [&](QLabel* title, QListWidget* list, QPushButton* all, QPushButton* none,
                           bool shown, int column) {
        const int left = both ? Margin + column * (half + Margin) : Margin;
        const int width = both ? half : Width - 2 * Margin;
        title->setVisible(shown);
        list->setVisible(shown);
        all->setVisible(shown);
        none->setVisible(shown);
        title->move(left, 102);
        list->setGeometry(left, ListTop, width, ListHeight);
        none->move(left + width - none->width(), 98);
        all->move(none->x() - all->width() - 4, 98);
    };
    place(intervalsTitle, intervals, intervalsAll, intervalsNone, c.usesIntervals(), 0);
    place(chordsTitle, chords, chordsAll, chordsNone, c.usesChords(), 1);
    progressionTitle->setVisible(c.usesProgression());
    progression->setVisible(c.usesProgression());
    octavesTitle->setVisible(c.usesOctaves());
    octaves->setVisible(c.usesOctaves());
}

void PracticePanel::showChoice()
{
    showing_ = true;
    exercise->setCurrentIndex(static_cast<int>(choice_.kind));
    nameKeys();
    key->setCurrentIndex(choice_.usesKey() ? choice_.key : 0);
    staff->setCurrentIndex(static_cast<int>(choice_.clef));
    showTicked(*intervals, choice_.intervals);
    showTicked(*chords, choice_.chords);
    progression->setCurrentIndex(choice_.progression - 1);
    octaves->setCurrentIndex(choice_.scaleOctaves - 1);
    arrange();
    showing_ = false;
}

void PracticePanel::setChoice(const engine::PracticeChoice& choice)
{
    choice_ = choice;
    showChoice();
}

void PracticePanel::take()
{
    engine::PracticeChoice c = choice_;
    c.kind = static_cast<engine::ExerciseKind>(exercise->currentIndex());
    // While the key list is disabled (notes in C major) it shows C and the
    // chosen key waits for the next exercise that has one.
    if (choice_.usesKey())
        c.key = key->currentIndex();
    c.clef = static_cast<engine::ClefSetting>(staff->currentIndex());
    c.intervals = ticked(*intervals);
    c.chords = ticked(*chords);
    c.progression = progression->currentIndex() + 1;
    c.scaleOctaves = octaves->currentIndex() + 1;
    if (c == choice_)
        return;
    choice_ = c;
    showChoice();
    emit changed(choice_);
}

} // namespace shell
