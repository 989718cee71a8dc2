#include "engine/uSheetMusic.h"

#include <algorithm>
#include <type_traits>

namespace engine {

namespace {

template <class T> T* held(const auto& item)
{
    const auto* p = std::get_if<std::unique_ptr<T>>(&item);
    return p != nullptr ? p->get() : nullptr;
}

} // namespace

ItemKind SheetItem::kind() const
{
    return std::visit(
        [](const auto& held) {
            using T = std::decay_t<decltype(held)>;
            if constexpr (std::is_same_v<T, std::unique_ptr<notation::TNote>>)
                return ItemKind::Note;
            else if constexpr (std::is_same_v<T, std::unique_ptr<notation::TInterval>>)
                return ItemKind::Interval;
            else if constexpr (std::is_same_v<T, std::unique_ptr<notation::TChord>>)
                return ItemKind::Chord;
            else
                return ItemKind::None;
        },
        item);
}

notation::TNote* SheetItem::note() const { return held<notation::TNote>(item); }
notation::TInterval* SheetItem::interval() const { return held<notation::TInterval>(item); }
notation::TChord* SheetItem::chord() const { return held<notation::TChord>(item); }

void SheetItem::release()
{
    // The pitches go with the item: a voice the next run leaves empty is
    // still put on screen with its slot, and must answer nothing.
    pitchSet = 0;
    item = std::monostate{};
    onScreen = false;
    keysNeeded = 0;
}

bool SheetItem::show(notation::TMusicalStaff& staff)
{
    if (auto* n = note())
        n->setVisible(staff);
    else if (auto* iv = interval())
        iv->setVisible(staff);
    else if (auto* c = chord())
        c->setVisible(staff);
    else
        return false;
    return true;
}

void SheetItem::move(notation::TMusicalStaff& staff, float dx)
{
    if (auto* n = note())
        n->MoveNote(staff, dx);
    else if (auto* iv = interval())
        iv->MoveInterval(staff, dx);
    else if (auto* c = chord())
        c->MoveChord(staff, dx);
}

float SheetItem::left(float none) const
{
    if (const auto* n = note())
        return n->getLeft();
    if (const auto* iv = interval())
        return iv->getLeft();
    if (const auto* c = chord())
        return c->getLeft();
    return none;
}

TSheetMusic::TSheetMusic(notation::TMusicalStaff& staff_, platform::TextLabel& progressLabel,
                         platform::TextLabel& waitLabel_, platform::MessageBoxes& messages,
                         platform::midi::MidiInService& midiService,
                         platform::NotifyTargetFactory& notifyTargets,
                         std::filesystem::path scoreFolder)
    : waitLabel(waitLabel_),
      scoreStore(progressLabel, messages, std::move(scoreFolder)),
      staff(staff_),
      midiPorts(midiService, notifyTargets),
      messages_(messages)
{
    waitLabel.setText("");
    running_ = false;
    paused_ = false;
    heldKeys.reset();
    midiPorts.setHandlers([this](midi::TMidiInput& sender) { mid_OnInput(sender); },
                          [this](midi::TMidiInput& sender) { mid_OnOverflow(sender); });
    // Keys held on a device that went away will never come up.
    midiPorts.setOnDeviceClosed([this] { releaseAllKeys(); });
    answered = false;
    debugMode = false;
    interval = 125;
    asked = lastAnswered = last = first = -1;
    itemCount = MaxItems;
    scoreMode = ScoreMode::Main;
    finished_ = false;
    clearItems();
}

TSheetMusic::~TSheetMusic()
{
    // The items and marks go with their slots; stop MIDI first so that no
    // notification arrives for a half-destroyed session.
    midiPorts.setHandlers(nullptr, nullptr);
    midiPorts.setOnDeviceClosed(nullptr);
}

void TSheetMusic::Debug(std::int32_t value)
{
    debugMode = true;
    debugValue = value;
}

void TSheetMusic::clearItems()
{
    // The items go with their layers: an empty voice holds nothing.
    gfx::UpdateBracket bracket(staff.image());
    for (int v = 1; v <= 2; ++v)
        for (std::uint32_t i = 1; i <= itemCount; ++i)
            items[static_cast<std::size_t>(v)][i].release();
    for (std::uint32_t i = 1; i <= itemCount; ++i) {
        pointerMarks[i].spriteIndex = PointerSprite;
        pointerMarks[i].shown = false;
    }
}

void TSheetMusic::releaseRun()
{
    // Whatever the last run left behind (items never revealed, hidden marks
    // and labels of questions never reached) goes now, so nothing builds up
    // run after run.
    gfx::UpdateBracket bracket(staff.image());
    for (int v = 1; v <= 2; ++v)
        for (SheetItem& s : items[static_cast<std::size_t>(v)])
            s.release();
    for (MarkSlot& m : pointerMarks)
        m = MarkSlot{};
    for (MarkSlot& m : degreeLabels)
        m = MarkSlot{};
}

void TSheetMusic::prepareRun(const RunSettings& settings)
{
    onGuiThread("TSheetMusic::prepareRun");
    settings.validate();
    if (settings.kind == ExerciseKind::WeakSpots) {
        const std::vector<std::int32_t> allowed = drillCandidates(settings.key, settings.clef);
        for (const std::int32_t p : settings.drillPitches)
            if (!std::binary_search(allowed.begin(), allowed.end(), p))
                throw ERunSetupError("The drill's note " + std::to_string(p) +
                                     " is not one of the key's notes on these staves");
    }
    preparingSinceMs_ = staff.clock().timeOfDayMs();

    releaseRun();
    // A run starts with nothing judged and no key taken for held.
    heldKeys.reset();
    wrongLatched = false;
    answered = false;
    finished_ = false;
    lastAnswered = -1;
    verdicts.fill(Verdict::None);
    // Minor scales keep their own scores; every other kind counts in mode 1,
    // also when a minor-scale run was stopped with Reset just before.
    scoreMode = scoreModeOf(settings.kind);
    noteOption = settings.noteOption;
    key = settings.key;
    clefSetting = settings.clef;
    subKind = settings.progression;
    exerciseKind = settings.kind;
    intervalFilter = settings.intervalFilter;
    chordFilter = settings.chordFilter;

    itemCount = questionCountOf(settings);
    switch (exerciseKind) {
    case ExerciseKind::NotesInC:
        key = 0;
        generateNotes(clefSetting, noteOption);
        break;
    case ExerciseKind::NotesInKey:
        generateNotes(clefSetting, noteOption);
        break;
    case ExerciseKind::Intervals:
        generateIntervals(clefSetting);
        break;
    case ExerciseKind::Chords:
        generateChords(clefSetting);
        break;
    case ExerciseKind::Mixed:
        generateMixed(clefSetting);
        break;
    case ExerciseKind::WeakSpots:
        generateDrill(settings.drillPitches);
        break;
    case ExerciseKind::Progression:
        generateProgression(subKind);
        createDegreeLabels();
        break;
    case ExerciseKind::MajorScales:
    case ExerciseKind::MinorScales:
    default: // 6 and 7
        generateScales(exerciseKind == ExerciseKind::MinorScales, key, clefSetting,
                       settings.scaleVariant);
        break;
    }
    createPointerMarks();
    waitLabel.setText("");
    waitLabel.repaintNow();
}

void TSheetMusic::revealSlot(std::int32_t i)
{
    for (int v = 1; v <= 2; ++v) {
        SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
        if (!s.onScreen) {
            s.show(staff);
            s.onScreen = true;
        }
    }
}

void TSheetMusic::Go()
{
    running_ = true;
    first = last = asked = 1;
    noteAsked();
    for (int v = 1; v <= 2; ++v) {
        SheetItem& s = items[static_cast<std::size_t>(v)][1];
        if (s.show(staff))
            s.onScreen = true; // an empty voice stays off screen
    }
    showPointerMark(1, true);
    if (exerciseKind == ExerciseKind::Progression)
        showDegreeLabel(1, true);
    scoreStore.updateCaption(modeIndex(), key, clefIndex());
}

void TSheetMusic::start(platform::DateTime now)
{
    onGuiThread("TSheetMusic::start");
    Go();
    startTime_ = now;
    elapsedSeconds_ = 0;
}

void TSheetMusic::pause()
{
    onGuiThread("TSheetMusic::pause");
    if (running_)
        paused_ = true;
}

void TSheetMusic::resume()
{
    onGuiThread("TSheetMusic::resume");
    paused_ = false;
}

bool TSheetMusic::tick(platform::DateTime now)
{
    onGuiThread("TSheetMusic::tick");
    elapsedSeconds_ = platform::wholeSecondsBetween(startTime_, now);
    if (finished_) {
        resetRun();
        return false;
    }
    Next();
    return true;
}

float TSheetMusic::itemX(std::int32_t i) const
{
    // Voice 2 wins when both voices hold an item.
    float x = staff.noteLeft;
    for (int v = 1; v <= 2; ++v) {
        const SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
        if (s.onScreen)
            x = s.left(x);
    }
    return x;
}

float TSheetMusic::labelX(std::int32_t i) const
{
    const MarkSlot& m = degreeLabels[static_cast<std::size_t>(i)];
    return m.shown && m.layer ? m.layer->location().left : staff.noteLeft;
}

void TSheetMusic::Next()
{
    onGuiThread("TSheetMusic::Next");
    // The passes bracket themselves too; this one makes the whole tick a
    // single repaint.
    gfx::UpdateBracket bracket(staff.image());
    moveItems(Step);
    movePointerMarks(Step);
    if (exerciseKind == ExerciseKind::Progression)
        moveDegreeLabels(Step);
    retireOldest();
    revealNext();
    adjustSpeed();
}

void TSheetMusic::moveItems(float dx)
{
    if (first < 1)
        return;
    // Each item brackets its own move; one bracket around them all makes
    // the pass a single repaint.
    gfx::UpdateBracket bracket(staff.image());
    for (std::int32_t i = first; i <= last; ++i)
        for (int v = 1; v <= 2; ++v) {
            SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
            if (s.onScreen)
                s.move(staff, dx);
        }
}

namespace {

// Moves a mark's layer so that its left edge is at `left`, keeping its top.
void moveMarkTo(MarkSlot& mark, float left)
{
    if (!mark.layer)
        return;
    const gfx::FloatRect r = mark.layer->location();
    mark.layer->setLocation({left, r.top, left + (r.right - r.left), r.bottom});
}

} // namespace

void TSheetMusic::movePointerMarks(float dx)
{
    if (first < 1)
        return;
    gfx::UpdateBracket bracket(staff.image());
    for (std::int32_t i = first; i <= last; ++i) {
        MarkSlot& m = pointerMarks[static_cast<std::size_t>(i)];
        if (m.shown)
            moveMarkTo(m, itemX(i) - dx);
    }
}

void TSheetMusic::moveDegreeLabels(float dx)
{
    if (first < 1)
        return;
    gfx::UpdateBracket bracket(staff.image());
    for (std::int32_t i = first; i <= last; ++i) {
        MarkSlot& m = degreeLabels[static_cast<std::size_t>(i)];
        if (m.shown)
            moveMarkTo(m, labelX(i) - dx);
    }
}

void TSheetMusic::removeSlotItems(std::int32_t i)
{
    // Releasing an item removes its layers with it.
    gfx::UpdateBracket bracket(staff.image());
    for (int v = 1; v <= 2; ++v) {
        SheetItem& s = items[static_cast<std::size_t>(v)][static_cast<std::size_t>(i)];
        if (s.onScreen)
            s.release();
    }
}

void TSheetMusic::retireOldest()
{
    if (first < 1 || itemX(first) >= ExitX)
        return;
    retirePointerMark(first);
    retireDegreeLabel(first);
    removeSlotItems(first);
    if (static_cast<std::uint32_t>(first) == itemCount) {
        finished_ = true;
        running_ = false;
        paused_ = false;
        // The drill counts its answers for the caption only.
        if (keepsScores(exerciseKind))
            scoreStore.updateHighScore();
        else
            scoreStore.discardCurrentScores();
    } else {
        ++first;
    }
}

void TSheetMusic::retirePointerMark(std::int32_t i)
{
    MarkSlot& m = pointerMarks[static_cast<std::size_t>(i)];
    const bool wasShown = m.shown;
    if (wasShown && m.spriteIndex != -1)
        m.layer.reset();
    m.shown = false;
    if (running_ && i == asked) {
        // The asked question leaves the staff: unanswered it counts wrong
        // (once: an answer judged while its keys are still down stands), and
        // the pointer jumps to the next one.
        const bool unanswered = verdicts[static_cast<std::size_t>(asked)] == Verdict::None;
        scoreItem(asked, false);
        if (unanswered)
            reportScored(asked, false, false);
        answered = false;
        if (asked < last) {
            ++asked;
            noteAsked();
            gfx::UpdateBracket bracket(staff.image());
            placeMark(pointerMarks[static_cast<std::size_t>(asked)], PointerSprite, itemX(asked));
        }
    } else if (!wasShown) {
        return;
    }
    scoreStore.updateCaption(modeIndex(), key, clefIndex());
}

void TSheetMusic::retireDegreeLabel(std::int32_t i)
{
    MarkSlot& m = degreeLabels[static_cast<std::size_t>(i)];
    if (m.shown && m.spriteIndex != -1) {
        m.layer.reset();
        m.shown = false;
    }
}

void TSheetMusic::revealNext()
{
    float gap = 35;
    switch (exerciseKind) {
    case ExerciseKind::Intervals:
        gap = 50;
        break;
    case ExerciseKind::Chords:
    case ExerciseKind::Mixed:
    case ExerciseKind::Progression:
        gap = 75;
        break;
    default:
        break;
    }
    if (last < 1 || static_cast<std::uint32_t>(last) >= itemCount ||
        !(itemX(last) < staff.noteLeft - gap))
        return;
    ++last;
    revealSlot(last);
    if (asked == -99) {
        asked = last;
        noteAsked();
    }
    showPointerMark(last, true);
    if (exerciseKind == ExerciseKind::Progression)
        showDegreeLabel(last, true);
}

void TSheetMusic::showPointerMark(std::int32_t i, bool visible)
{
    if (i != asked)
        return;
    MarkSlot& m = pointerMarks[static_cast<std::size_t>(i)];
    gfx::UpdateBracket bracket(staff.image());
    if (m.layer)
        m.layer->setVisible(visible);
    m.shown = visible;
}

void TSheetMusic::showDegreeLabel(std::int32_t i, bool visible)
{
    MarkSlot& m = degreeLabels[static_cast<std::size_t>(i)];
    gfx::UpdateBracket bracket(staff.image());
    if (m.layer)
        m.layer->setVisible(visible);
    m.shown = visible;
}

namespace {

struct SpeedStep {
    float above; // the distance travelled must exceed this
    std::int32_t interval;
};

// Tick intervals by how far the asked question has travelled; the largest
// threshold exceeded decides.
constexpr std::array<SpeedStep, 9> ScaleSpeeds{{{-1e9f, 15},
                                                {50, 30},
                                                {100, 45},
                                                {150, 60},
                                                {200, 100},
                                                {250, 175},
                                                {300, 200},
                                                {350, 225},
                                                {400, 250}}};
constexpr std::array<SpeedStep, 5> NarrowSpeeds{
    {{-1e9f, 250}, {30, 310}, {60, 380}, {90, 440}, {120, 500}}};
constexpr std::array<SpeedStep, 9> WideSpeeds{{{-1e9f, 50},
                                               {50, 75},
                                               {100, 100},
                                               {150, 125},
                                               {200, 150},
                                               {250, 175},
                                               {300, 200},
                                               {350, 225},
                                               {400, 250}}};

template <std::size_t N> std::int32_t speedFor(const std::array<SpeedStep, N>& table, float d)
{
    std::int32_t result = table[0].interval;
    for (const SpeedStep& s : table)
        if (d > s.above)
            result = s.interval;
    return result;
}

} // namespace

void TSheetMusic::adjustSpeed()
{
    if (lastAnswered >= 0 && static_cast<std::uint32_t>(lastAnswered) == itemCount) {
        interval = 50;
        return;
    }
    if (asked <= 0)
        return;
    const float d = staff.noteLeft - itemX(asked);
    if (exerciseKind == ExerciseKind::MajorScales || exerciseKind == ExerciseKind::MinorScales)
        interval = speedFor(ScaleSpeeds, d);
    else if (staff.narrow)
        interval = speedFor(NarrowSpeeds, d);
    else
        interval = speedFor(WideSpeeds, d);
}

void TSheetMusic::ClearScreen()
{
    if (first == -1)
        return;
    for (std::int32_t i = first; i <= last; ++i) {
        removeSlotItems(i);
        retirePointerMark(i);
        retireDegreeLabel(i);
    }
}

void TSheetMusic::resetRun()
{
    waitLabel.setText("");
    running_ = paused_ = finished_ = false;
    heldKeys.reset();
    wrongLatched = false;
    answered = false;
    verdicts.fill(Verdict::None);
    interval = 125;
    asked = lastAnswered = last = first = -1;
    itemCount = MaxItems;
    scoreMode = ScoreMode::Main;
    clearItems();
}

void TSheetMusic::abandonRun()
{
    onGuiThread("TSheetMusic::abandonRun");
    running_ = false;
    paused_ = false;
    ClearScreen();
    // Nothing of an abandoned run is folded or saved, and the caption
    // starts again from nothing.
    scoreStore.discardCurrentScores();
    scoreStore.updateCaption(modeIndex(), key, clefIndex());
    resetRun();
}

void TSheetMusic::placeMark(MarkSlot& mark, std::int32_t sprite, float left)
{
    if (!mark.layer)
        return;
    const gfx::TBitmap32& s = staff.picture(sprite);
    const float top = mark.layer->location().top;
    gfx::setSprite(*mark.layer, s, left, top, true);
    mark.spriteIndex = sprite;
    mark.left = left;
    mark.shown = true;
}

} // namespace engine
