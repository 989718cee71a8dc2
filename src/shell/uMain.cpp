#include "shell/uMain.h"

#include "history/WeakSpots.h"
#include "platform/Files.h"
#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtTextLabel.h"
#include "resources/uBmp.h"
#include "scores/uHighscore.h"
#include "shell/Controls.h"
#include "shell/ImageView.h"
#include "shell/MidiMonitor.h"
#include "shell/MidiPanel.h"
#include "shell/PracticePanel.h"
#include "shell/ProgressWindow.h"
#include "shell/QtBitmap.h"
#include "shell/uInfo.h"
#include "shell/uStatistics.h"
#include "skin/SkinManager.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <span>
#include <stdexcept>
#include <vector>

namespace shell {

namespace {

// The panels' background, red 231, green 233, blue 245.
const QColor PanelColour(231, 233, 245);

// The sprite pack an installed program ships: <prefix>/share/tessaly-notes/
// beside the program in <prefix>/libexec/tessaly-notes/, or in one of the
// system's data folders. Empty when the program is not installed.
std::filesystem::path installedPack()
{
    if (QCoreApplication::instance() == nullptr)
        return {};
    const std::filesystem::path pack =
        std::filesystem::path("tessaly-notes") / resources::PackFileName;
    std::vector<std::filesystem::path> places{
        std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()) / ".." / ".." /
        "share"};
    // The first data folder is the user's own, where the working folder is.
    const QStringList shared =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (qsizetype i = 1; i < shared.size(); ++i)
        places.emplace_back(shared[i].toStdString());
    for (const std::filesystem::path& place : places) {
        std::error_code error;
        if (std::filesystem::is_regular_file(place / pack, error))
            return std::filesystem::weakly_canonical(place / pack, error);
    }
    return {};
}

// How to get the shipped sprite pack back into `workFolder`. The launcher
// (installed as tessaly-notes, started by scripts/run in the source folder)
// copies it in when the player's copy is missing, empty or not a file.
std::string packRestoreLine(const std::filesystem::path& workFolder)
{
    const std::string tail = ", which puts " + std::string(resources::PackFileName) +
                             " back when it is missing, empty or not a file, or copy ";
    const std::filesystem::path shipped = installedPack();
    if (!shipped.empty())
        return "To get the shipped sprite pack back, start Tessaly Notes with its launcher, "
               "tessaly-notes" +
               tail + shipped.string() + " into " + workFolder.string() + ".";
    return "To get the shipped sprite pack back, start Tessaly Notes with scripts/run in its "
           "source folder" +
           tail + "data/keyresources.dat from the source folder into " + workFolder.string() + ".";
}

} // namespace

std::int32_t skinIndexFrom(const std::string& text)
{
    std::int32_t index = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, index);
    if (error != std::errc() || stop != end || index < 0 || index >= skin::SkinCount)
        return 0;
    return index;
}

int sizePercentFrom(const std::string& text)
{
    int percent = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, percent);
    if (error != std::errc() || stop != end ||
        std::find(SizeChoices.begin(), SizeChoices.end(), percent) == SizeChoices.end())
        return 100;
    return percent;
}

std::string scaleFactorFor(const std::string& current, int percent)
{
    if (percent == 100)
        return {};
    // Qt reads the variable as a plain number and takes anything else as 1.
    // Read and written without the locale, which may use a decimal comma.
    double base = 1;
    const char* end = current.data() + current.size();
    double given = 0;
    const auto [stop, error] = std::from_chars(current.data(), end, given);
    if (error == std::errc() && stop == end && given > 0 && std::isfinite(given))
        base = given;
    std::array<char, 32> text{};
    const auto written =
        std::to_chars(text.data(), text.data() + text.size(), base * percent / 100.0);
    return std::string(text.data(), written.ptr);
}

namespace {

// What failed, and for a file also why ("Cannot create file … (the file is
// read-only)").
std::string errorWithReason(const std::exception& error)
{
    std::string text = error.what();
    if (const auto* file = dynamic_cast<const platform::FileError*>(&error);
        file != nullptr && !file->reason().empty())
        text += " (" + file->reason() + ")";
    return text;
}

} // namespace

std::string scoreSaveErrorText(const std::exception& error)
{
    std::string text = "Your scores could not be saved to ";
    text += scores::ScoreFileName;
    text += ".\n\n";
    return text + errorWithReason(error);
}

std::string startupErrorText(const std::exception& error, const std::filesystem::path& workFolder)
{
    // "Cannot open file <path>"
    if (dynamic_cast<const resources::EFOpenError*>(&error) != nullptr)
        return error.what() + std::string("\n\n") + packRestoreLine(workFolder);
    if (dynamic_cast<const resources::EPackError*>(&error) != nullptr) {
        const std::filesystem::path pack = workFolder / resources::PackFileName;
        return "Error reading " + pack.string() + ": " + error.what() + "\n\n" +
               packRestoreLine(workFolder);
    }
    if (dynamic_cast<const platform::FileError*>(&error) != nullptr)
        return scoreSaveErrorText(error);
    return std::string("Tessaly - Notes cannot start: ") + error.what();
}

int packScaleFor(double devicePixelRatio)
{
    // A ratio a hair over a whole number (1.0000001 from a scaled screen
    // size) is that number.
    const double scale = std::ceil(devicePixelRatio - 1e-3);
    if (!(scale > 1))
        return 1;
    return scale >= resources::MaxPackScale ? resources::MaxPackScale : static_cast<int>(scale);
}

gfx::TBitmap32 pianoPicture(int scale)
{
    const QString name = scale <= 1 ? QStringLiteral(":/tessaly/piano.bmp")
                                    : QStringLiteral(":/tessaly/piano@%1x.bmp").arg(scale);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("The piano picture is missing from the program");
    const QByteArray bytes = file.readAll();
    gfx::TBitmap32 picture = resources::decodeBmp(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<std::size_t>(bytes.size())));
    if (picture.width() != 561 * scale || picture.height() != 71 * scale)
        throw std::runtime_error("The piano picture of the program has the wrong size");
    return picture;
}

namespace {

struct QuestionText {
    const char* question;
    const char* explanation;
};

// What the window asks, and how to answer, for each exercise.
QuestionText questionTextOf(engine::ExerciseKind kind)
{
    using engine::ExerciseKind;
    switch (kind) {
    case ExerciseKind::Intervals:
        return {"What interval is this?",
                "Play both notes: click them on the piano, or hold them on a keyboard."};
    case ExerciseKind::Chords:
        return {"What chord is this?",
                "Play all of its notes: click them on the piano, or hold them together."};
    case ExerciseKind::Mixed:
        return {"What note, interval or chord is this?",
                "Play every note you see: click them on the piano, or hold them together."};
    case ExerciseKind::Progression:
        return {"Which chord of the progression is this?",
                "Play the chord and its bass: click them on the piano, or hold them together."};
    case ExerciseKind::WeakSpots:
        return {"What note is this?",
                "The notes you miss or answer slowly come most often. Click it on the piano."};
    case ExerciseKind::MajorScales:
    case ExerciseKind::MinorScales:
        return {"Which note of the scale is this?",
                "Play the scale one note at a time, as the notes come."};
    default:
        return {"What note is this?", "Click on any corresponding note name on the piano."};
    }
}

} // namespace

TfMain::TfMain(TfMainServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services))
{
    if (services_.messages == nullptr)
        ownMessages_ = std::make_unique<platform::qt::QtMessageBoxes>(this);
    setAttribute(Qt::WA_StyledBackground);
    buildControls();
    sSkinManager = std::make_unique<skin::TSkinManager>(*this);
    pianoImage.bitmap() = pianoPicture();
    imgPiano->setImage(&pianoImage);
    imageContainer->setImage(&staffImage);
    ThreadedTimer.setOnTimer([this] { ThreadedTimerTimer(); });
    FormCreate();
    qApp->installEventFilter(this);
}

TfMain::~TfMain()
{
    ThreadedTimer.setEnabled(false);
    // The views are children, destroyed after the pictures they show.
    imageContainer->setImage(nullptr);
    imgPiano->setImage(nullptr);
    piano.reset();
}

platform::MessageBoxes& TfMain::messages()
{
    return services_.messages != nullptr ? *services_.messages : *ownMessages_;
}

void TfMain::buildControls()
{
    setWindowTitle(QString::fromUtf8(ApplicationTitle));
    move(198, 123);
    setFixedSize(700, 625);
    setFont(bodyFont());
    QPalette face = palette(); // button-face background
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    setAutoFillBackground(true);

    imageContainer = new ImageView(this);
    imageContainer->setObjectName(QStringLiteral("imageContainer"));
    imageContainer->setGeometry(8, 80, 313, 300);
    imgPiano = new ImageView(this);
    imgPiano->setObjectName(QStringLiteral("imgPiano"));
    imgPiano->setGeometry(8, 386, 560, 71);

    Panel1 = makePanel(this, "Panel1", 255, 2, 426, 35);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    bInfo = makeButton(Panel1, "Info", 8, 5, 75, 25);
    bStats = makeButton(Panel1, "Statistics", 91, 5, 75, 25);
    bProgress = makeButton(Panel1, "Progress", 174, 5, 75, 25);
    bSupport = makeButton(Panel1, "Support", 257, 5, 75, 25);
    bSkin = makeButton(Panel1, "Change skin", 340, 5, 75, 25);

    const QFont big = uiFont(12, true);
    sPanel2 = makePanel(this, "sPanel2", 335, 45, 71, 34);
    lProgress = makeLabel(sPanel2, "100%", 12, 7, 46 + 10, 20, big);
    sPanel3 = makePanel(this, "sPanel3", 408, 45, 83, 34);
    lTime = makeLabel(sPanel3, "150 sec.", 5, 6, 69 + 8, 20, big);
    sPanel1 = makePanel(this, "sPanel1", 495, 45, 90, 34);
    lCurrentNote = makeLabel(sPanel1, "150 / 150", 5, 7, 76 + 8, 20, big);
    sPanel4 = makePanel(this, "sPanel4", 1, 488, 575, 31);
    Label3 =
        makeLabel(sPanel4, "TIP: Say the answers out loud when the question is presented to you. ",
                  12, 9, 560, 13, uiFont(9));

    bReset = makeButton(this, "Reset", 1, 525, 43, 25);
    bStart = makeButton(this, "Start", 52, 525, 75, 25);
    lWait = makeLabel(this, "00%", 128, 530, 30, 13, uiFont(9));
    lQuestion = makeLabel(this, "Question", 159, 529, 700 - 159 - 8, 16, uiFont(11, true));
    lExplanation =
        makeLabel(this, "Explanation", 162, 552, 700 - 162 - 8, 16, uiFont(10, false, true));

    practicePanel = new PracticePanel(this);
    practicePanel->move(330, 84);
    lStartReason = makeLabel(this, "", 1, 556, 156, 62, uiFont(9));
    lStartReason->setObjectName(QStringLiteral("lStartReason"));
    lStartReason->setWordWrap(true);
    lStartReason->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    midiPanel = new MidiPanel(this);
    midiPanel->move(160, 582);
    // Devices come and go: a keyboard plugged in shows up within a second
    // or two. Listing the ports takes a few milliseconds of the GUI thread.
    midiPoll = new QTimer(this);
    midiPoll->setInterval(1000);

    lSize = makeLabel(this, "Size", 578, 390, 110, 16, font());
    lSize->setObjectName(QStringLiteral("lSize"));
    cbSize = new QComboBox(this);
    cbSize->setObjectName(QStringLiteral("cbSize"));
    cbSize->setGeometry(578, 410, 110, 26);
    for (const int percent : SizeChoices)
        cbSize->addItem(QStringLiteral("%1 %").arg(percent), percent);
    cbSize->setToolTip(QStringLiteral("The size of the window, on top of the desktop's scale"));
    lSize->setBuddy(cbSize);

    setTabOrder(imageContainer, imgPiano);
    setTabOrder(imgPiano, bInfo);
    setTabOrder(bInfo, bStats);
    setTabOrder(bStats, bProgress);
    setTabOrder(bProgress, bSkin);
    setTabOrder(bSkin, bSupport);
    setTabOrder(bSupport, bReset);
    setTabOrder(bReset, bStart);

    progressLabel_ = std::make_unique<platform::qt::QtTextLabel>(*lProgress);
    waitLabel_ = std::make_unique<platform::qt::QtTextLabel>(*lWait);

    connect(bInfo, &QPushButton::clicked, this, [this] { bInfoClick(); });
    connect(bStats, &QPushButton::clicked, this, [this] { bStatsClick(); });
    connect(bProgress, &QPushButton::clicked, this, [this] { bProgressClick(); });
    connect(bSupport, &QPushButton::clicked, this, [this] { bSupportClick(); });
    connect(bSkin, &QPushButton::clicked, this, [this] { bSkinClick(); });
    connect(cbSize, &QComboBox::activated, this,
            [this](int index) { sizeChosen(cbSize->itemData(index).toInt()); });
    connect(bReset, &QPushButton::clicked, this, [this] { bResetClick(); });
    connect(bStart, &QPushButton::clicked, this, [this] { bStartClick(); });
    connect(practicePanel, &PracticePanel::changed, this,
            [this](const engine::PracticeChoice& choice) { practiceChanged(choice); });
    connect(midiPanel, &MidiPanel::chosen, this,
            [this](const engine::MidiChoice& choice) { midiChosen(choice); });
    connect(midiPanel, &MidiPanel::monitorAsked, this, [this] { showMidiMonitor(); });
    connect(midiPoll, &QTimer::timeout, this, [this] { pollMidi(); });
    connect(imgPiano, &ImageView::mouseDown, this,
            [this](Qt::MouseButton, int x, int y) { imgPianoMouseDown(x, y); });
    connect(imgPiano, &ImageView::mouseUp, this,
            [this](Qt::MouseButton, int x, int y) { imgPianoMouseUp(x, y); });
}

void TfMain::FormCreate()
{
    objectsCreated = false;
    loadSettings();
    practicePanel->setChoice(vars.practice);
    sSkinManager->setSkinName(sSkinManager->nameOf(vars.skinIndex));
    sSkinManager->setActive(true);
}

void TfMain::loadSettings()
{
    // A file that is missing, unreadable or holds something else than a skin
    // number gives skin 0; the file is written at close.
    vars.settingsFile =
        std::make_unique<platform::IniFile>(services_.workFolder / SettingsFileName);
    vars.skinIndex = skinIndexFrom(vars.settingsFile->ReadString(SettingsSection, SkinKey, "0"));
    vars.practice = engine::readPracticeChoice(*vars.settingsFile);
    vars.midiChoice = engine::readMidiChoice(*vars.settingsFile);
    vars.sizePercent =
        sizePercentFrom(vars.settingsFile->ReadString(SettingsSection, SizeKey, "100"));
    cbSize->setCurrentIndex(cbSize->findData(vars.sizePercent));
}

void TfMain::saveSettings()
{
    try {
        vars.settingsFile->WriteString(SettingsSection, SkinKey, std::to_string(vars.skinIndex));
        vars.settingsFile->UpdateFile();
    } catch (const std::exception&) {
        // Not being able to remember the skin never keeps the window open.
    }
}

void TfMain::createObjects()
{
    if (objectsCreated)
        return;
    TVariables made;
    made.keyResources = std::make_unique<resources::TKeyResources>(services_.workFolder);
    const gfx::TBitmap32List& sprites = made.keyResources->imgVorlanta;
    // A denser pack that is missing or damaged leaves the 1x pictures, which
    // Qt enlarges: softer, but the window works as before.
    const int wanted =
        services_.pictureDensity > 0 ? services_.pictureDensity : packScaleFor(devicePixelRatioF());
    int density = 1;
    if (wanted > 1) {
        auto dense = std::make_unique<gfx::TBitmap32List>(
            resources::readDensePack(services_.workFolder, wanted, sprites));
        if (dense->count() > 0) {
            made.densePictures = std::move(dense);
            density = wanted;
        }
    }
    const gfx::TBitmap32List& pictures =
        made.densePictures ? *made.densePictures : made.keyResources->imgVorlanta;
    made.musicalStaff = std::make_unique<notation::TMusicalStaff>(staffImage, sprites, pictures,
                                                                  density, services_.clock, 2, 2);
    made.keySignature = std::make_unique<notation::TKey>(*made.musicalStaff);
    made.keySignature->DrawKey(*made.musicalStaff, 0);
    made.sheetMusic = std::make_unique<engine::TSheetMusic>(
        *made.musicalStaff, *progressLabel_, *waitLabel_, messages(), services_.midi,
        services_.notifyTargets, services_.workFolder);
    {
        gfx::UpdateBracket bracket(pianoImage);
        pianoImage.bitmap() = pianoPicture(density);
        pianoImage.setDensity(density);
    }
    piano = std::make_unique<TPiano>(pianoImage, pictures);

    vars.keyResources = std::move(made.keyResources);
    vars.densePictures = std::move(made.densePictures);
    vars.musicalStaff = std::move(made.musicalStaff);
    vars.keySignature = std::move(made.keySignature);
    vars.sheetMusic = std::move(made.sheetMusic);
    vars.history = std::make_unique<history::HistoryStore>(
        services_.workFolder / history::HistoryFileName, messages(),
        platform::isoDate(services_.clock.now()));
    vars.sheetMusic->setOnScored(
        [this](const engine::ScoredQuestion& q) { vars.history->record(historyRow(q)); });
    objectsCreated = true;

    engine::MidiPorts& ports = vars.sheetMusic->midi();
    // The session opened the first keyboard; the remembered one, by name,
    // wins wherever it is in the list now.
    if (vars.midiChoice.kind != engine::MidiChoice::Kind::Automatic)
        ports.choose(vars.midiChoice);
    ports.setOnRecorded([this](const engine::MidiMonitorLine& line) {
        midiPanel->blink();
        if (midiMonitor != nullptr && midiMonitor->isVisible())
            midiMonitor->add(line);
    });
    midiPanel->showPorts(ports);
    midiPoll->start();
}

void TfMain::midiChosen(const engine::MidiChoice& choice)
{
    vars.midiChoice = choice;
    try {
        engine::writeMidiChoice(*vars.settingsFile, choice);
        vars.settingsFile->UpdateFile();
    } catch (const std::exception&) {
        // Listened to for this session all the same.
    }
    if (!objectsCreated)
        return;
    vars.sheetMusic->midi().choose(choice);
    midiPanel->showPorts(vars.sheetMusic->midi());
    if (midiMonitor != nullptr && midiMonitor->isVisible())
        midiMonitor->showAll(vars.sheetMusic->midi());
}

void TfMain::pollMidi()
{
    if (!objectsCreated)
        return;
    engine::MidiPorts& ports = vars.sheetMusic->midi();
    if (!ports.poll() && !midiPanel->stale())
        return;
    midiPanel->showPorts(ports);
    if (midiMonitor != nullptr && midiMonitor->isVisible())
        midiMonitor->showAll(ports);
}

void TfMain::showMidiMonitor()
{
    if (!objectsCreated)
        return;
    if (midiMonitor == nullptr) {
        midiMonitor = new MidiMonitor(this);
        connect(midiMonitor, &MidiMonitor::clearAsked, this,
                [this] { vars.sheetMusic->midi().clearMonitor(); });
    }
    midiMonitor->showAll(vars.sheetMusic->midi());
    midiMonitor->show();
    midiMonitor->raise();
    midiMonitor->activateWindow();
}

void TfMain::FormShow()
{
    createObjects();
    ColorOthers();
    showPractice();
}

void TfMain::practiceChanged(const engine::PracticeChoice& choice)
{
    vars.practice = choice;
    try {
        engine::writePracticeChoice(*vars.settingsFile, choice);
        vars.settingsFile->UpdateFile();
    } catch (const std::exception&) {
        // The choice still holds for this session; it is written again with
        // the next change and at close.
    }
    showPractice();
    // An open Progress window follows the choice, leaving the focus here.
    if (progressWindow != nullptr && progressWindow->isVisible())
        showProgressScope();
}

void TfMain::practiseForThisStart(const engine::PracticeChoice& choice)
{
    vars.practice = choice;
    practicePanel->setChoice(choice);
    showPractice();
}

void TfMain::showPractice()
{
    const engine::PracticeChoice& c = vars.practice;
    const engine::RunSettings run = c.runSettings();
    const QuestionText texts = questionTextOf(c.kind);
    lQuestion->setText(QString::fromUtf8(texts.question));
    lExplanation->setText(QString::fromUtf8(texts.explanation));
    const std::string reason = c.nothingToAsk();
    lStartReason->setText(QString::fromStdString(reason));
    if (!objectsCreated)
        return;
    engine::TSheetMusic& sheet = *vars.sheetMusic;
    if (sheet.running() || sheet.paused())
        return; // the captions and the staff belong to the run
    bStart->setEnabled(reason.empty());
    vars.keySignature->DrawKey(*vars.musicalStaff, run.key);
    lProgress->setText(QStringLiteral("0%"));
    lTime->setText(QStringLiteral("0 sec."));
    lCurrentNote->setText(QStringLiteral("0 / %1").arg(engine::questionCountOf(run)));
}

void TfMain::FormClose()
{
    saveSettings();
    if (objectsCreated)
        vars.history->flush();
}

void TfMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return; // the window coming back from being minimised
    try {
        FormShow();
    } catch (const std::exception& e) {
        // The program creates the objects before the first showing; this
        // only happens when a window is shown without that step.
        messages().showMessage(startupErrorText(e, services_.workFolder));
    }
}

void TfMain::closeEvent(QCloseEvent* event)
{
    // The player closing the window in the middle of a run is asked first.
    // A close the program makes itself (a logout, Ctrl+C) is not spontaneous
    // and goes through: nobody may be there to answer.
    if (event->spontaneous() && objectsCreated &&
        (vars.sheetMusic->running() || vars.sheetMusic->paused())) {
        const bool ticking = ThreadedTimer.Enabled();
        ThreadedTimer.setEnabled(false); // the run waits while the question is up
        if (!messages().askYesNoDefaultNo("A run is in progress. Quit anyway?")) {
            ThreadedTimer.setEnabled(ticking);
            event->ignore();
            return;
        }
    }
    ThreadedTimer.setEnabled(false);
    FormClose();
    QWidget::closeEvent(event);
}

void TfMain::bInfoClick()
{
    if (fInfo != nullptr)
        fInfo->show();
}

void TfMain::bStatsClick()
{
    if (fStats != nullptr)
        fStats->show();
}

void TfMain::bProgressClick()
{
    if (!objectsCreated)
        return;
    if (progressWindow == nullptr) {
        progressWindow = new ProgressWindow(this, *vars.history, messages(),
                                            [this] { return vars.sheetMusic->nowMs(); });
        // The heat map's clefs are the staff's own.
        QImage staff = toQImage(staffImage.bitmap());
        staff.setDevicePixelRatio(staffImage.density());
        progressWindow->heatMap->setClefs(staff);
    }
    showProgressScope();
    progressWindow->show();
    progressWindow->raise();
    progressWindow->activateWindow();
}

void TfMain::showProgressScope()
{
    // Shows what this session answered too.
    vars.history->flush();
    const engine::RunSettings run = vars.practice.runSettings();
    progressWindow->showScope(std::string(engine::exerciseId(run.kind)), run.key,
                              std::string(engine::staffId(run.clef)));
}

void TfMain::historyWritten()
{
    if (progressWindow != nullptr && progressWindow->isVisible())
        progressWindow->refresh();
}

void TfMain::bSupportClick()
{
    const std::string address = supportAddress();
    const bool opened = services_.openUrl
                            ? services_.openUrl(address)
                            : QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
    // Without a browser the player can still copy the address.
    if (!opened)
        messages().showCopyableMessage(
            "No web browser could be opened for the support page. Its address, to copy into "
            "a browser:\n\n" +
            address);
}

void TfMain::bSkinClick()
{
    const int index = sSkinManager->indexOf(sSkinManager->SkinName());
    vars.skinIndex = index == sSkinManager->count() - 1 ? 0 : index + 1;
    sSkinManager->setSkinName(sSkinManager->nameOf(vars.skinIndex));
}

void TfMain::sizeChosen(int percent)
{
    if (percent == vars.sizePercent)
        return;
    try {
        vars.settingsFile->WriteString(SettingsSection, SizeKey, std::to_string(percent));
        vars.settingsFile->UpdateFile();
    } catch (const std::exception& e) {
        // The choice shows the size the next start will take.
        cbSize->setCurrentIndex(cbSize->findData(vars.sizePercent));
        messages().showMessage("The new size could not be remembered: " + errorWithReason(e));
        return;
    }
    vars.sizePercent = percent;
    if (messages().askYesNo("The window takes its new size when Tessaly - Notes starts again.\n\n"
                            "Restart it now?")) {
        restartAsked_ = true;
        if (!close())
            restartAsked_ = false;
    }
}

void TfMain::enableButtons(bool e)
{
    cbSize->setEnabled(e);
    bSupport->setEnabled(e);
    bInfo->setEnabled(e);
    bSkin->setEnabled(e);
    bStats->setEnabled(e);
    bProgress->setEnabled(e);
    bReset->setEnabled(!e);
    practicePanel->setEnabled(e);
}

void TfMain::ClearPiano()
{
    if (piano)
        piano->ClearPiano();
}

void TfMain::ColorOthers()
{
    const QList<QFrame*> panels = findChildren<QFrame*>();
    for (auto it = panels.rbegin(); it != panels.rend(); ++it) {
        QFrame* panel = *it;
        if (qobject_cast<QLabel*>(panel) != nullptr)
            continue; // a label is a frame too, but not a panel
        QPalette palette = panel->palette();
        palette.setColor(QPalette::Window, PanelColour);
        panel->setPalette(palette);
        panel->setAutoFillBackground(true);
    }
}

void TfMain::bStartClick()
{
    if (!objectsCreated)
        return;
    engine::TSheetMusic& sheet = *vars.sheetMusic;
    if (sheet.running() && !sheet.paused()) {
        bStart->setText(QStringLiteral("Paused"));
        ThreadedTimer.setEnabled(false);
        sheet.pause();
        return;
    }
    if (sheet.paused()) {
        ThreadedTimer.setEnabled(true);
        bStart->setText(QStringLiteral("Playing"));
        sheet.resume();
        return;
    }

    if (!vars.practice.nothingToAsk().empty())
        return; // Start is disabled; a queued click finds nothing to ask
    sheet.ClearScreen();
    enableButtons(false);
    bStart->setText(QStringLiteral("Wait..."));
    bStart->repaint();
    engine::RunSettings run = vars.practice.runSettings();
    if (run.kind == engine::ExerciseKind::WeakSpots) {
        // What this session answered counts too.
        vars.history->flush();
        const std::int64_t now = sheet.nowMs();
        run.drillPitches = drawDrill(*vars.history, run, sheet.drillCandidates(run.key, run.clef),
                                     now, static_cast<std::uint32_t>(now));
    }
    sheet.prepareRun(run);
    ThreadedTimer.setInterval(static_cast<unsigned>(sheet.tickInterval()));
    bStart->setText(QStringLiteral("Playing"));
    bStart->repaint();
    sheet.start(services_.clock.now());
    ThreadedTimer.setEnabled(true);
    lTime->setText(QStringLiteral("0 sec."));
}

void TfMain::bResetClick()
{
    ThreadedTimer.setEnabled(false);
    if (objectsCreated) {
        vars.sheetMusic->abandonRun();
        vars.history->flush();
        historyWritten();
    }
    ClearPiano();
    bStart->setText(QStringLiteral("Start"));
    enableButtons(true);
    bReset->setEnabled(false);
    showPractice();
}

void TfMain::ThreadedTimerTimer()
{
    if (!objectsCreated)
        return;
    engine::TSheetMusic& sheet = *vars.sheetMusic;
    bool goesOn = true;
    try {
        goesOn = sheet.tick(services_.clock.now());
    } catch (const platform::FileError& e) {
        // The last question has left the staff and the run's scores could
        // not be written; they stay in memory and the next tick ends the run.
        messages().showMessage(scoreSaveErrorText(e));
    }
    if (!goesOn) {
        ThreadedTimer.setEnabled(false);
        vars.history->flush();
        historyWritten();
        ClearPiano();
        bStart->setText(QStringLiteral("Start"));
        enableButtons(true);
        return;
    }
    piano->followQuestion(sheet);
    ThreadedTimer.setInterval(static_cast<unsigned>(sheet.tickInterval()));
    lCurrentNote->setText(
        QStringLiteral("%1 / %2").arg(sheet.lastOnStaff()).arg(sheet.questionCount()));
    lTime->setText(QStringLiteral("%1 sec.").arg(sheet.elapsedSeconds()));
}

std::vector<std::int32_t> drawDrill(const history::HistoryStore& store,
                                    const engine::RunSettings& run,
                                    const std::vector<std::int32_t>& candidates, std::int64_t nowMs,
                                    std::uint32_t seed)
{
    // An answer three months old weighs 2^-13 of today's: older ones are not
    // worth reading.
    constexpr std::int64_t Horizon = 90LL * 86'400'000;
    const std::vector<int> pitches(candidates.begin(), candidates.end());
    history::WeaknessTally tally(pitches, nowMs);
    for (const engine::ExerciseKind kind :
         {engine::ExerciseKind::NotesInC, engine::ExerciseKind::NotesInKey,
          engine::ExerciseKind::Mixed, engine::ExerciseKind::WeakSpots}) {
        history::AnswerFilter filter;
        filter.fromMs = nowMs - Horizon;
        filter.exercise = std::string(engine::exerciseId(kind));
        filter.key = run.key;
        filter.staff = std::string(engine::staffId(run.clef));
        store.visitProgressAnswers(filter, [&](const history::ProgressAnswer& a) {
            if (a.pitch >= 0)
                tally.add(a.whenMs, a.pitch, a.outcome, a.responseMs);
        });
    }
    history::WeakSpotDraw draw(tally.weakness(), seed);
    std::vector<std::int32_t> drill(engine::questionCountOf(run));
    for (std::int32_t& p : drill)
        p = draw.next();
    return drill;
}

history::AnswerRow historyRow(const engine::ScoredQuestion& q)
{
    history::AnswerRow r;
    r.whenMs = q.whenMs;
    r.exercise = std::string(engine::exerciseId(q.exercise));
    r.key = q.key;
    r.staff = std::string(engine::staffId(q.clef));
    r.questionPitches = q.questionPitches;
    r.questionKind = q.questionKind;
    r.questionInversion = q.inversion;
    r.answerPitches = q.answerPitches;
    r.outcome = !q.answered ? history::Outcome::Unanswered
                            : (q.right ? history::Outcome::Right : history::Outcome::Wrong);
    r.responseMs = q.responseMs;
    switch (q.input) {
    case engine::AnswerInput::Mouse:
        r.input = history::Input::Mouse;
        break;
    case engine::AnswerInput::ComputerKeyboard:
        r.input = history::Input::ComputerKeyboard;
        break;
    case engine::AnswerInput::Midi:
        r.input = history::Input::Midi;
        break;
    }
    r.port = q.port;
    return r;
}

int computerKeyPitch(int qtKey)
{
    static constexpr std::array<int, 12> Lower{Qt::Key_Z, Qt::Key_S, Qt::Key_X, Qt::Key_D,
                                               Qt::Key_C, Qt::Key_V, Qt::Key_G, Qt::Key_B,
                                               Qt::Key_H, Qt::Key_N, Qt::Key_J, Qt::Key_M};
    static constexpr std::array<int, 13> Upper{
        Qt::Key_Q, Qt::Key_2, Qt::Key_W, Qt::Key_3, Qt::Key_E, Qt::Key_R, Qt::Key_5,
        Qt::Key_T, Qt::Key_6, Qt::Key_Y, Qt::Key_7, Qt::Key_U, Qt::Key_I};
    for (std::size_t i = 0; i < Lower.size(); ++i)
        if (Lower[i] == qtKey)
            return 60 + static_cast<int>(i);
    for (std::size_t i = 0; i < Upper.size(); ++i)
        if (Upper[i] == qtKey)
            return 72 + static_cast<int>(i);
    return -1;
}

bool TfMain::computerKeyDown(int qtKey)
{
    if (qtKey == Qt::Key_Space) {
        if (bStart->isEnabled())
            bStartClick();
        return true;
    }
    if (qtKey == Qt::Key_Escape) {
        if (bReset->isEnabled())
            bResetClick();
        return true;
    }
    const int pitch = computerKeyPitch(qtKey);
    if (!takesKey(qtKey))
        return false;
    engine::TSheetMusic& sheet = *vars.sheetMusic;
    if (!sheet.questionAsked() || heldComputerKeys_.contains(qtKey))
        return true; // a pause, or no question yet: the key plays nothing
    heldComputerKeys_[qtKey] = pitch;
    piano->showPitch(pitch, true);
    std::uint16_t classes = 0;
    for (const auto& [key, held] : heldComputerKeys_)
        classes = static_cast<std::uint16_t>(classes | (1u << (held % 12)));
    const int needed = std::popcount(sheet.askedPitchClasses());
    if (!computerKeysJudged_ && needed > 0 && std::popcount(classes) >= needed) {
        computerKeysJudged_ = true;
        sheet.answerPianoKeys(classes, engine::AnswerInput::ComputerKeyboard);
    }
    return true;
}

bool TfMain::takesKey(int qtKey) const
{
    // Between runs the letters belong to the panel's controls.
    return qtKey == Qt::Key_Space || qtKey == Qt::Key_Escape ||
           (computerKeyPitch(qtKey) >= 0 && objectsCreated && vars.sheetMusic->running());
}

bool TfMain::computerKeyUp(int qtKey)
{
    const auto held = heldComputerKeys_.find(qtKey);
    if (held == heldComputerKeys_.end())
        return takesKey(qtKey);
    if (objectsCreated)
        piano->showPitch(held->second, false);
    heldComputerKeys_.erase(held);
    if (heldComputerKeys_.empty())
        computerKeysJudged_ = false;
    return true;
}

bool TfMain::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    // Keys typed into a message box, a popup list or the statistics and
    // info windows over this one are theirs.
    if (widget == nullptr || widget->window() != this || QApplication::activePopupWidget() ||
        (fStats != nullptr && fStats->isVisible()) || (fInfo != nullptr && fInfo->isVisible()))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat())
        return takesKey(key->key());
    return type == QEvent::KeyPress ? computerKeyDown(key->key()) : computerKeyUp(key->key());
}

void TfMain::imgPianoMouseDown(int x, int y)
{
    if (objectsCreated)
        piano->imgPianoMouseDown(*vars.sheetMusic, x, y);
}

void TfMain::imgPianoMouseUp(int x, int y)
{
    if (objectsCreated)
        piano->imgPianoMouseUp(*vars.sheetMusic, x, y);
}

std::unique_ptr<TfMain> createMainWindow(TfMainServices services, platform::MessageBoxes& messages)
{
    const std::filesystem::path folder = services.workFolder;
    auto window = std::make_unique<TfMain>(std::move(services));
    try {
        window->createObjects();
    } catch (const std::exception& e) {
        messages.showMessage(startupErrorText(e, folder));
        return nullptr;
    }
    window->fInfo = new TfInfo(*window, window->services().clock);
    window->fStats = new TfStats(*window, window->vars.sheetMusic->scores());
    return window;
}

} // namespace shell
