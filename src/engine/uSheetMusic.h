#pragma once

// TSheetMusic: the exercise session. It holds the questions of one run,
// reveals them at the right edge of the staff, moves them left on every
// timer tick, keeps the pointer on the question being asked, sets the tick
// interval from how far that question has drifted, scores questions that
// leave the staff unanswered and ends the run when the last one has left.
//
// Everything here runs on the GUI thread, the thread that makes the session;
// in a Debug build its operations abort when called on another. The state is
// private: callers say what they want (prepare, start, pause, tick, answer)
// and read the rest through the view below. Tests, benchmarks and tools that
// must set a moment up by hand go through engine/testing/SessionProbe.h.

#include "engine/MidiPorts.h"
#include "engine/RunSettings.h"
#include "midi/MidiIn.h"
#include "notation/uChord.h"
#include "notation/uInterval.h"
#include "notation/uMusicalStaff.h"
#include "notation/uNote.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/NotifyTarget.h"
#include "platform/TextLabel.h"
#include "platform/ThreadCheck.h"
#include "platform/midi/MidiService.h"
#include "scores/uHighscore.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace engine {

// Question slots are numbered 1..MaxItems; index 0 is never used.
constexpr int MaxItems = 250;
constexpr float ExitX = 125; // a question leaving the staff passes here
constexpr float Step = 5;    // pixels per tick

constexpr int PointerSprite = 38;
constexpr int RightSprite = 39;
constexpr int WrongSprite = 40;
constexpr int EyeSprite = 41;
constexpr int FirstNumeralSprite = 52; // I; VII is 58

// What a voice of a question slot holds.
enum class ItemKind : std::uint8_t { Note = 0, Interval = 1, Chord = 2, None = 3 };

// One voice of one question: the item it owns from generation until it
// leaves the staff, the staff is cleared or the next run is prepared.
struct SheetItem {
    notation::PitchSet pitchSet = 0; // what answers it on MIDI
    std::int32_t keysNeeded = 0;
    std::variant<std::monostate, std::unique_ptr<notation::TNote>,
                 std::unique_ptr<notation::TInterval>, std::unique_ptr<notation::TChord>>
        item;
    bool onScreen = false;

    ItemKind kind() const;
    // The item, or null when the voice holds another kind or nothing.
    notation::TNote* note() const;
    notation::TInterval* interval() const;
    notation::TChord* chord() const;

    // Drops the item and its layers; the slot becomes empty.
    void release();
    // Makes the item visible; false for an empty voice.
    bool show(notation::TMusicalStaff& staff);
    void move(notation::TMusicalStaff& staff, float dx);
    // The item's x, or `none` for an empty voice.
    float left(float none) const;
};

// A pointer mark or a degree label: one layer the session owns.
// How question i of a run was judged; each is judged once, the first
// verdict stands.
enum class Verdict : std::uint8_t { None, Right, Wrong };

struct MarkSlot {
    std::int32_t spriteIndex = -1; // -1: no layer to release
    gfx::OwnedLayer layer;
    float top = 0;
    float left = 0;
    bool shown = false;
};

// How an answer was given.
enum class AnswerInput : std::uint8_t { Mouse = 1, ComputerKeyboard = 2, Midi = 3 };

// One question scored, as the practice history keeps it.
struct ScoredQuestion {
    std::int64_t whenMs = 0; // local time, milliseconds since 1970-01-01 00:00
    ExerciseKind exercise = ExerciseKind::NotesInC;
    std::int32_t key = 0;
    ClefSetting clef = ClefSetting::Treble;
    std::vector<int> questionPitches; // lowest first
    std::int32_t questionKind = 0;    // the interval or chord kind; 0 for a note
    std::int32_t inversion = 0;       // a chord's
    // What was played (MIDI: the keys down); for the piano picture and the
    // computer keyboard, which answer by pitch class, one pitch per class
    // from middle C up. Empty when the question left unanswered.
    std::vector<int> answerPitches;
    bool answered = false;
    bool right = false;
    std::int32_t responseMs = -1; // from the question reaching the pointer; -1 unanswered
    AnswerInput input = AnswerInput::Mouse;
    std::string port; // the MIDI port the answer came from
};

class TSheetMusic {
public:
    // The staff, the label the score store writes the run's percentage into
    // (lProgress) and the generation-progress label (lWait) must outlive the
    // session, as must the message boxes, the MIDI service and the
    // notification targets. The score file is read from `scoreFolder`.
    TSheetMusic(notation::TMusicalStaff& staff, platform::TextLabel& progressLabel,
                platform::TextLabel& waitLabel, platform::MessageBoxes& messages,
                platform::midi::MidiInService& midiService,
                platform::NotifyTargetFactory& notifyTargets,
                std::filesystem::path scoreFolder = std::filesystem::current_path());
    ~TSheetMusic();
    TSheetMusic(const TSheetMusic&) = delete;
    TSheetMusic& operator=(const TSheetMusic&) = delete;

    // Prepares a run: generates every question hidden, with its pointer
    // mark. Throws ERunSetupError (RunSettings::validate) before anything
    // changes.
    void prepareRun(const RunSettings& settings);
    void Go();
    void Next();

    // --- The run, as the windows drive it -----------------------------------------
    // Starts the prepared run at `now`: the first question comes in and the
    // run's clock starts.
    void start(platform::DateTime now);
    // Holds a running run, and lets it go on; the window stops and restarts
    // its timer.
    void pause();
    void resume();
    // One timer tick at `now`: the run's time, then the staff moves on.
    // False once the run is over (the tick after its last question left):
    // the session is idle again and the window goes back to its start.
    // Throws platform::FileError when the scores could not be saved; they
    // stay in memory and the next tick ends the run.
    bool tick(platform::DateTime now);
    // An answer by pitch class (the piano picture, the computer keyboard):
    // bit k for each pitch class k, right when it names exactly the pitch
    // classes of the asked question's notes, in any octave.
    void answerPianoKeys(std::uint16_t pitchClasses, AnswerInput input = AnswerInput::Mouse);
    // The pitch classes of the asked question's notes on screen (0 when no
    // question is asked): how many keys a pitch-class answer collects.
    std::uint16_t askedPitchClasses() const;
    // A question is waiting for its answer and answers count now.
    bool questionAsked() const;
    // The run's state: going (paused or not), held, over (until the next
    // tick returns the session to idle), and its whole seconds so far.
    bool running() const { return running_; }
    bool paused() const { return paused_; }
    bool finished() const { return finished_; }
    std::int32_t elapsedSeconds() const { return elapsedSeconds_; }
    platform::DateTime startTime() const { return startTime_; }
    // A key of a MIDI keyboard (or the computer keyboard) going down or up.
    // Followed between runs and while paused too; judged only while the run
    // takes answers.
    void pressKey(std::uint8_t pitch);
    void releaseKey(std::uint8_t pitch);
    void ClearScreen();
    void resetRun();
    // Reset: the run stops where it is and nothing of it is scored or saved;
    // the next run starts from a clean state.
    void abandonRun();
    void Debug(std::int32_t value);

    // --- Answers --------------------------------------------------------------
    // A run is going, not paused, and its last question is not answered yet:
    // answers count now. The piano and the keyboard both ask this.
    bool takesAnswers() const;
    // True when `pitch` belongs to a voice of slot i that is on screen.
    bool EvaluateInput(std::int32_t i, std::uint32_t pitch) const;
    // Takes every waiting MIDI event; judges it only while a run is going,
    // not paused, before the last answer.
    void mid_OnInput(midi::TMidiInput& sender);
    // The ring was full and input was lost: every key counts as released.
    void mid_OnOverflow(midi::TMidiInput& sender);
    // Called with every question scored, answered or left unanswered.
    void setOnScored(std::function<void(const ScoredQuestion&)> handler)
    {
        onScored_ = std::move(handler);
    }
    // Every key counts as released, as if the last one came up: All Notes
    // Off, lost input, the device gone.
    void releaseAllKeys();
    // A finished answer of question i, right or wrong, the way a mouse
    // answer comes: judged, and the pointer moves on at once. Only the
    // asked, unjudged question of a running session takes it.
    void answerItem(std::int32_t i, bool right);
    // The mark beside question i (PointerSprite, RightSprite, WrongSprite,
    // EyeSprite).
    void setPointerMark(std::int32_t i, std::int32_t sprite);

    // --- The view: what the window, the statistics and the tests read -----------
    // The question asked now: 1..questionCount(), -1 before the first comes
    // in, -99 while the next one has not come in yet.
    std::int32_t askedQuestion() const { return asked; }
    // The last question whose answer is over (-1 for none yet).
    std::int32_t lastAnsweredQuestion() const { return lastAnswered; }
    // The asked question's answer is given and waits for the keys to come up.
    bool askedIsAnswered() const { return answered; }
    std::uint32_t questionCount() const { return itemCount; }
    // The oldest and newest question on the staff (-1: none yet).
    std::int32_t firstOnStaff() const { return first; }
    std::int32_t lastOnStaff() const { return last; }
    // The timer interval the run wants now, in milliseconds.
    std::int32_t tickInterval() const { return interval; }
    const std::bitset<128>& keysHeld() const { return heldKeys; }
    Verdict verdictOf(std::int32_t i) const { return verdicts.at(static_cast<std::size_t>(i)); }
    // Voice 1..2 of question slot 1..MaxItems.
    const SheetItem& slot(int voice, std::int32_t i) const
    {
        return items.at(static_cast<std::size_t>(voice)).at(static_cast<std::size_t>(i));
    }
    const MarkSlot& pointerMarkOf(std::int32_t i) const
    {
        return pointerMarks.at(static_cast<std::size_t>(i));
    }
    const MarkSlot& degreeLabelOf(std::int32_t i) const
    {
        return degreeLabels.at(static_cast<std::size_t>(i));
    }
    // The x of question i's first voice on screen.
    float itemX(std::int32_t i) const;
    // The prepared run's settings.
    ExerciseKind exercise() const { return exerciseKind; }
    std::int32_t runKey() const { return key; }
    ClefSetting clef() const { return clefSetting; }
    ScoreMode mode() const { return scoreMode; }
    // The score store the run scores into; the statistics window shows and
    // resets it.
    scores::THighScore& scores() { return scoreStore; }
    const scores::THighScore& scores() const { return scoreStore; }
    // The MIDI inputs: the chosen keyboard (at start the first one found),
    // followed as devices come and go, and the program's own port.
    MidiPorts& midi() { return midiPorts; }
    const MidiPorts& midi() const { return midiPorts; }
    // The chosen keyboard's input, and the device ports as last listed.
    midi::TMidiInput& midiInput() { return midiPorts.deviceInput(); }
    bool hasMidiDevice() const { return !midiPorts.ports().empty(); }
    const std::vector<std::string>& midiDevices() const { return midiPorts.ports(); }
    bool midiOpen() const { return midiPorts.deviceInput().state() == midi::MidiInputState::Open; }
    // The wrong mark of the asked question is up until its keys come up.
    bool wrongShown() const { return wrongLatched; }

    // The notes the weak-spot drill may ask in `inKey` on `onStaves`,
    // low to high: every pitch of the key's scale a note question of that
    // staff may take (both staves' for Both).
    std::vector<std::int32_t> drillCandidates(std::int32_t inKey, ClefSetting onStaves) const;

    // The session clock's time as milliseconds since 1970-01-01 UTC.
    std::int64_t nowMs() const;

    // The score table's indexes of this run: mode, and clef 1..3.
    std::int32_t modeIndex() const { return static_cast<std::int32_t>(scoreMode); }
    std::int32_t clefIndex() const { return static_cast<std::int32_t>(clefSetting) + 1; }

private:
    friend struct SessionProbe;

    // --- One tick, and what it is made of -------------------------------------
    void moveItems(float dx);
    void movePointerMarks(float dx);
    void moveDegreeLabels(float dx);
    void retireOldest();
    void retirePointerMark(std::int32_t i);
    void retireDegreeLabel(std::int32_t i);
    void revealNext();
    void adjustSpeed();
    float labelX(std::int32_t i) const;
    void showPointerMark(std::int32_t i, bool visible);
    void showDegreeLabel(std::int32_t i, bool visible);
    void clearItems();

    void handleMidiEvent(const midi::TMyMidiEvent& event);
    void scoreItem(std::int32_t i, bool right);
    void recordBestTime(std::int32_t seconds);

    // --- Generation -------------------------------------------------------------
    void generateNotes(ClefSetting clef, std::uint8_t noteOption);
    void generateDrill(const std::vector<std::int32_t>& pitches);
    void generateIntervals(ClefSetting clef);
    void generateChords(ClefSetting clef);
    void generateMixed(ClefSetting clef);
    void generateProgression(std::int32_t subKind);
    void generateScales(bool minor, std::int32_t key, ClefSetting clef, std::int32_t countVariant);
    void createPointerMarks();
    void createDegreeLabels();

    // The degree (1..7) of question i of a progression run.
    std::int32_t progressionDegree(std::int32_t i) const;

    // --- State --------------------------------------------------------------------
    platform::TextLabel& waitLabel;
    scores::THighScore scoreStore;
    notation::TMusicalStaff& staff;
    MidiPorts midiPorts;
    // The MIDI keys down now, by pitch.
    std::bitset<128> heldKeys;
    bool wrongLatched = false;
    std::function<void(const ScoredQuestion&)> onScored_;
    // When the asked question reached the pointer (ms, local time).
    std::int64_t askedAtMs_ = 0;
    // How the answer being judged came.
    AnswerInput answerInput_ = AnswerInput::Mouse;
    std::vector<int> answerPitches_;
    // The asked question has a new one: its response time counts from now.
    void noteAsked();
    void reportScored(std::int32_t i, bool answered, bool right);
    std::int32_t asked = -1;
    std::int32_t lastAnswered = -1;
    bool answered = false;
    bool debugMode = false;
    std::int32_t debugValue = 0;
    std::int32_t first = -1;
    std::int32_t last = -1;
    std::int32_t key = 0;
    ClefSetting clefSetting = ClefSetting::Treble;
    std::int32_t subKind = 0;
    std::int32_t interval = 125;
    std::uint8_t noteOption = 0;
    std::uint32_t itemCount = MaxItems;
    ScoreMode scoreMode = ScoreMode::Main;
    // [voice 1..2][slot 1..250]; index 0 of each is never used.
    std::array<std::array<SheetItem, MaxItems + 1>, 3> items;
    std::array<MarkSlot, MaxItems + 1> pointerMarks;
    std::array<MarkSlot, MaxItems + 1> degreeLabels;
    ExerciseKind exerciseKind = ExerciseKind::NotesInC;
    KindFilter intervalFilter;
    KindFilter chordFilter;
    std::array<Verdict, MaxItems + 1> verdicts{};

    void onGuiThread(const char* operation) const { gui_.check(operation, "the GUI thread"); }

    platform::ThreadOwner gui_;
    std::int64_t preparingSinceMs_ = 0;
    bool running_ = false;
    bool paused_ = false;
    bool finished_ = false;
    platform::DateTime startTime_ = 0;
    std::int32_t elapsedSeconds_ = 0;

    // After a judged answer: the next question on the staff, or -99 while
    // the next one has not come in.
    void movePointerOn();
    // The last key came up: a judged question hands the pointer on.
    void allKeysUp();
    // Every answer, whatever its input, is judged here: the verdict is
    // scored once and marked.
    void judge(std::int32_t i, bool right);
    // The judged asked question hands the pointer on; after the last
    // question the run's time is taken as a best time.
    void handOn();
    bool allHeldKeysIn(notation::PitchSet pitches) const;
    // The pitches of the voices of slot i that are on screen.
    notation::PitchSet questionPitches(std::int32_t i) const;
    bool lastQuestionAnswered() const;

    // Stores an item hidden in slot i of `voice`.
    void storeNote(int voice, int i, int staffClef, int pitch, bool inKeyOnly);
    void storeInterval(int voice, int i, int staffClef, int kind, int root);
    void storeChord(int voice, int i, int staffClef, int kind, int inversion, int degree);
    // "i%" of the run in the wait label, repainted at once, once preparing
    // has taken 100 ms.
    void reportProgress(std::int32_t i);
    // Both staves draw a voice per question; one staff fixes it.
    int chooseVoice(ClefSetting clef);
    void revealSlot(std::int32_t i);
    void removeSlotItems(std::int32_t i);
    void placeMark(MarkSlot& mark, std::int32_t sprite, float left);
    // Releases the layers of questions that were never reached.
    void releaseRun();

    platform::MessageBoxes& messages_;
};

} // namespace engine
