#include "shell/MidiPanel.h"

#include "shell/Controls.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace shell {

namespace {

constexpr int Width = 532;
constexpr int Height = 36;
// How long the light stays on after a message: long enough to see, short
// enough that a trill blinks.
constexpr int LightMs = 120;

// What a combo entry stands for.
enum Entry { PortEntry = 0, NoneEntry = 1, NothingEntry = 2 };
constexpr int EntryRole = Qt::UserRole;
constexpr int PortRole = Qt::UserRole + 1;

QString text(const std::string& s) { return QString::fromStdString(s); }

} // namespace

QString midiStatusText(const engine::MidiPorts& ports)
{
    switch (ports.status()) {
    case engine::MidiStatus::Connected:
        return QStringLiteral("Connected");
    case engine::MidiStatus::Disconnected:
        return QStringLiteral("Disconnected: waiting for it");
    case engine::MidiStatus::NoPorts:
        return QStringLiteral("Mouse and keys still answer");
    case engine::MidiStatus::NotListening:
        return QStringLiteral("Not listening to a keyboard");
    case engine::MidiStatus::Failed:
        return QStringLiteral("Would not open: ") + text(ports.errorText());
    }
    return {};
}

MidiPanel::MidiPanel(QWidget* parent)
    : QFrame(parent)
{
    setObjectName(QStringLiteral("midiPanel"));
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    resize(Width, Height);
    const QFont font = uiFont(9);
    makeLabel(this, "MIDI", 8, 10, 36, 16, font);
    device = new QComboBox(this);
    device->setObjectName(QStringLiteral("midiDevice"));
    device->setGeometry(44, 6, 200, 24);
    device->setFont(font);
    // A click does not leave the keyboard with the list: a letter typed
    // afterwards (a piano key of the computer keyboard between runs) would
    // choose another port. Tab still reaches it.
    device->setFocusPolicy(Qt::TabFocus);
    device->setToolTip(QStringLiteral("The keyboard to listen to. Other programs can also play "
                                      "into this program's own port, \"%1\".")
                           .arg(QString::fromLatin1(engine::VirtualPortName)));
    light = new QLabel(this);
    light->setObjectName(QStringLiteral("midiLight"));
    light->setGeometry(252, 12, 12, 12);
    light->setToolTip(QStringLiteral("Blinks on every MIDI message"));
    status = makeLabel(this, "", 272, 10, 168, 16, font);
    status->setObjectName(QStringLiteral("midiStatus"));
    monitor = makeButton(this, "Monitor...", 446, 6, 78, 24);
    monitor->setObjectName(QStringLiteral("midiMonitor"));
    monitor->setToolTip(QStringLiteral("Lists the MIDI messages as they arrive"));

    lightOff_ = new QTimer(this);
    lightOff_->setSingleShot(true);
    lightOff_->setInterval(LightMs);
    connect(lightOff_, &QTimer::timeout, this, [this] { showLight(false); });
    showLight(false);

    connect(device, &QComboBox::activated, this, [this](int index) { take(index); });
    connect(monitor, &QPushButton::clicked, this, [this] { emit monitorAsked(); });
}

void MidiPanel::showPorts(const engine::MidiPorts& ports)
{
    if (device->view()->isVisible()) {
        stale_ = true;
        return;
    }
    stale_ = false;
    showing_ = true;
    device->clear();
    for (const std::string& port : ports.ports()) {
        device->addItem(text(port));
        device->setItemData(device->count() - 1, PortEntry, EntryRole);
        device->setItemData(device->count() - 1, text(port), PortRole);
    }
    const engine::MidiChoice& choice = ports.choice();
    const std::string& about = ports.statusPort();
    const auto listed = [&](const std::string& name) {
        return std::find(ports.ports().begin(), ports.ports().end(), name) != ports.ports().end();
    };
    // The keyboard waited for stays in the list, marked, so the player sees
    // what the program listens for.
    if (ports.status() == engine::MidiStatus::Disconnected && !listed(about)) {
        device->addItem(text(about) + QStringLiteral(" (disconnected)"));
        device->setItemData(device->count() - 1, PortEntry, EntryRole);
        device->setItemData(device->count() - 1, text(about), PortRole);
    }
    if (ports.status() == engine::MidiStatus::NoPorts) {
        device->addItem(QStringLiteral("No MIDI keyboard found"));
        device->setItemData(device->count() - 1, NothingEntry, EntryRole);
    }
    device->addItem(QStringLiteral("None"));
    device->setItemData(device->count() - 1, NoneEntry, EntryRole);

    int current = device->count() - 1; // None
    if (choice.kind != engine::MidiChoice::Kind::None) {
        const QString port = text(!about.empty() ? about : choice.port);
        for (int i = 0; i < device->count(); ++i) {
            const int entry = device->itemData(i, EntryRole).toInt();
            if ((entry == PortEntry && device->itemData(i, PortRole).toString() == port) ||
                entry == NothingEntry) {
                current = i;
                break;
            }
        }
    }
    device->setCurrentIndex(current);

    const QString line = midiStatusText(ports);
    status->setText(line); // elided by the label where it is too long
    QString tip = line;
    if (!ports.virtualPorts().empty()) {
        QStringList drivers;
        for (const std::string& d : ports.virtualPorts())
            drivers << text(d);
        tip += QStringLiteral("\nOther programs can play into \"%1\" (%2).")
                   .arg(QString::fromLatin1(engine::VirtualPortName), drivers.join(", "));
    }
    status->setToolTip(tip);
    showing_ = false;
}

void MidiPanel::take(int index)
{
    if (showing_ || index < 0)
        return;
    switch (device->itemData(index, EntryRole).toInt()) {
    case PortEntry:
        emit chosen(
            engine::MidiChoice::named(device->itemData(index, PortRole).toString().toStdString()));
        break;
    case NoneEntry:
        emit chosen(engine::MidiChoice::none());
        break;
    default:
        break; // "No MIDI keyboard found" chooses nothing
    }
}

void MidiPanel::blink()
{
    showLight(true);
    lightOff_->start();
}

void MidiPanel::showLight(bool on)
{
    lit_ = on;
    light->setStyleSheet(on ? QStringLiteral("background: #3ee04a; border: 1px solid #1c7a23; "
                                             "border-radius: 6px;")
                            : QStringLiteral("background: #46604a; border: 1px solid #2a3a2c; "
                                             "border-radius: 6px;"));
}

} // namespace shell
