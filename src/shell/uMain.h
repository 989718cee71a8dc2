#pragma once

// TfMain: the program's one window. The staff on which the questions scroll,
// the piano picture that answers them, the run's score, time and question
// count, and the buttons. It owns the run's timer and the Start / Pause /
// Reset cycle, and creates the program-wide objects on its first showing.

#include "gfx/Image32.h"
#include "platform/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/NotifyTarget.h"
#include "platform/TextLabel.h"
#include "platform/midi/MidiService.h"
#include "shell/ThreadedTimer.h"
#include "shell/uPiano.h"
#include "shell/uVariables.h"

#include <QWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace skin {
class TSkinManager;
}

namespace shell {

class ImageView;
class PracticePanel;
class MidiPanel;
class MidiMonitor;
class TfInfo;
class TfStats;
class ProgressWindow;

// What the window works with besides its own controls. Every reference must
// outlive the window. Tests hand in a fake clock, the Loopback MIDI service
// and recording message boxes; the program hands in the real ones.
struct TfMainServices {
    platform::Clock& clock;
    platform::midi::MidiInService& midi;
    platform::NotifyTargetFactory& notifyTargets;
    // Null: Qt message boxes over the window.
    platform::MessageBoxes* messages = nullptr;
    // Where keyresources.dat, keyscore.dat and vorlanta.ini are.
    std::filesystem::path workFolder = std::filesystem::current_path();
    // Opens a web address in the desktop's browser and tells whether a
    // browser took it; empty: the desktop services of Qt. Tests record the
    // address instead.
    std::function<bool(const std::string&)> openUrl;
    // Device pixels per logical pixel the staff and the piano are drawn
    // with; 0: the screen's device pixel ratio, rounded up.
    int pictureDensity = 0;
};

// The sprite pack density for a screen's device pixel ratio: rounded up (1.5
// takes the 2x pack, which the view scales down), at least 1, at most 3.
int packScaleFor(double devicePixelRatio);

// The skin index a "Skin" value names: a decimal number in 0..11, else 0.
std::int32_t skinIndexFrom(const std::string& text);

// The size a "Size" value names: one of SizeChoices, else 100.
int sizePercentFrom(const std::string& text);
// The QT_SCALE_FACTOR that shows the window at `percent` of the size it has
// under `current` (the variable's value, empty when unset): the desktop's
// scale and a factor given by hand are kept and multiplied. Empty when
// nothing is to be set.
std::string scaleFactorFor(const std::string& current, int percent);

// The run's clock, as the session counts it.
using platform::wholeSecondsBetween;

// The message for a score file that could not be written.
std::string scoreSaveErrorText(const std::exception& error);

class TfMain : public QWidget {
    Q_OBJECT

public:
    // Builds every control and runs FormCreate. GUI thread.
    explicit TfMain(TfMainServices services, QWidget* parent = nullptr);
    ~TfMain() override;

    TfMain(const TfMain&) = delete;
    TfMain& operator=(const TfMain&) = delete;

    void FormCreate();
    void loadSettings();
    void saveSettings();
    // Creates the program-wide objects unless they exist, then colours the
    // panels and sets the question texts. Runs on every showing.
    void FormShow();
    void FormClose();

    // The objects FormShow creates on the first showing: sprite pack, staff,
    // key signature, session. Does nothing once they exist. Throws the
    // sprite pack's resources::EPackError (nothing is kept then), or what
    // the session's constructor throws. The program calls it before the
    // window is first shown, so that a broken pack never shows a half-built
    // window.
    void createObjects();

    void bInfoClick();
    void bStatsClick();
    void bProgressClick();
    // The Progress window on what the panel shows.
    void showProgressScope();
    // The history was written: an open Progress window shows it.
    void historyWritten();
    void bSupportClick();
    void bSkinClick();
    void bStartClick();
    void bResetClick();
    void enableButtons(bool e);
    void ClearPiano();
    void ColorOthers();
    void ThreadedTimerTimer();

    // The player chose something else to practise: remembered, and the
    // staff, the texts and Start follow it.
    void practiceChanged(const engine::PracticeChoice& choice);
    // The window as the chosen practice wants it between runs.
    void showPractice();
    // Practises `choice` (from the command line) without remembering it.
    void practiseForThisStart(const engine::PracticeChoice& choice);

    // The player chose a MIDI port or "None": remembered by name, and
    // listened to at once.
    void midiChosen(const engine::MidiChoice& choice);
    // Reads the MIDI ports again and follows what came and went; the
    // window's timer calls it every second.
    void pollMidi();
    void showMidiMonitor();

    void imgPianoMouseDown(int x, int y);
    void imgPianoMouseUp(int x, int y);

    // The computer keyboard: a key of the two piano rows going down or up
    // (auto-repeat already left out). Space starts, pauses and resumes;
    // Escape resets. False for a key the window does not use.
    bool computerKeyDown(int qtKey);
    bool computerKeyUp(int qtKey);
    // Space, Escape, and during a run the piano keys: the window's keys.
    bool takesKey(int qtKey) const;

    // The player chose another size: remembered, and a restart offered;
    // the window closes for it when the player says so.
    void sizeChosen(int percent);
    // Whether the window closed to start again at a new size.
    bool restartAsked() const { return restartAsked_; }

    // --- Controls -------------------------------------------------------------
    ImageView* imageContainer = nullptr;
    ImageView* imgPiano = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* bInfo = nullptr;
    QPushButton* bStats = nullptr;
    QPushButton* bProgress = nullptr;
    QPushButton* bSupport = nullptr;
    QPushButton* bSkin = nullptr;
    QFrame* sPanel1 = nullptr;
    QFrame* sPanel2 = nullptr;
    QFrame* sPanel3 = nullptr;
    QFrame* sPanel4 = nullptr;
    QLabel* lProgress = nullptr;
    QLabel* lTime = nullptr;
    QLabel* lCurrentNote = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* bReset = nullptr;
    QPushButton* bStart = nullptr;
    QLabel* lWait = nullptr;
    QLabel* lQuestion = nullptr;
    QLabel* lExplanation = nullptr;
    PracticePanel* practicePanel = nullptr;
    // Why Start is disabled, beside it.
    QLabel* lStartReason = nullptr;
    MidiPanel* midiPanel = nullptr;
    // The window's size, applied at the next start (beside the piano).
    QLabel* lSize = nullptr;
    QComboBox* cbSize = nullptr;
    MidiMonitor* midiMonitor = nullptr; // made when first asked for
    QTimer* midiPoll = nullptr;

    // The embedded windows, children of this one (made by createMainWindow).
    TfInfo* fInfo = nullptr;
    TfStats* fStats = nullptr;
    // Made when first asked for.
    ProgressWindow* progressWindow = nullptr;
    std::unique_ptr<skin::TSkinManager> sSkinManager;

    const TfMainServices& services() const { return services_; }
    platform::MessageBoxes& messages();

    // --- Pictures and program-wide objects ---------------------------------------
    // Declared before the objects that draw into them, so they outlive them.
    gfx::TImage32 staffImage;
    gfx::TImage32 pianoImage;
    TVariables vars;
    std::unique_ptr<TPiano> piano; // with the objects
    bool objectsCreated = false;

    // Declared last, so it stops first: no tick runs on a half-destroyed window.
    TThreadedTimer ThreadedTimer;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Takes the keys of the computer keyboard for the window, whichever of
    // its controls has the focus.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();

    TfMainServices services_;
    std::unique_ptr<platform::MessageBoxes> ownMessages_;
    std::unique_ptr<platform::TextLabel> progressLabel_;
    std::unique_ptr<platform::TextLabel> waitLabel_;
    // The piano keys of the computer keyboard held now: Qt key to pitch.
    std::map<int, int> heldComputerKeys_;
    // An answer was judged from the keys held; none counts again until all
    // are up.
    bool computerKeysJudged_ = false;
    bool restartAsked_ = false;
};

// A scored question as the practice history keeps it.
history::AnswerRow historyRow(const engine::ScoredQuestion& q);

// The notes of a weak-spot run of `run`'s length, drawn from `candidates`
// favouring those the history shows weak, at `nowMs`, in the run's key and
// staff: answers to single notes of any note exercise count.
std::vector<std::int32_t> drawDrill(const history::HistoryStore& store,
                                    const engine::RunSettings& run,
                                    const std::vector<std::int32_t>& candidates, std::int64_t nowMs,
                                    std::uint32_t seed);

// The pitch a key of the computer keyboard plays: Z S X D C V G B H N J M
// from middle C, Q 2 W 3 E R 5 T 6 Y 7 U I the octave above; -1 for others.
int computerKeyPitch(int qtKey);

// The piano picture the window shows (561 x 71 logical pixels, `scale` times
// as many per side), from the program's own resources.
gfx::TBitmap32 pianoPicture(int scale = 1);

// The text shown when the sprite pack, or anything else the window needs to
// start, cannot be had. For the sprite pack it ends with a line on how to
// get the shipped one back into `workFolder`.
std::string startupErrorText(const std::exception& error, const std::filesystem::path& workFolder);

// The main window with its objects created, ready to show; or, when they
// cannot be created (a missing or broken sprite pack), null after telling
// the user through `messages` what is wrong. Nothing is shown then.
std::unique_ptr<TfMain> createMainWindow(TfMainServices services, platform::MessageBoxes& messages);

} // namespace shell
