#pragma once

// The MIDI row under the question: which keyboard to listen to, a light
// that blinks on every message, what the connection is doing, and the
// button that opens the MIDI monitor.

#include "engine/MidiPorts.h"

#include <QFrame>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace shell {

class MidiPanel : public QFrame {
    Q_OBJECT

public:
    explicit MidiPanel(QWidget* parent);

    // Shows the ports, the choice and the status, without telling anyone.
    // While the player has the list open it is left alone (stale() says so
    // until the next showing).
    void showPorts(const engine::MidiPorts& ports);
    bool stale() const { return stale_; }
    // Lights the activity light for a moment.
    void blink();
    bool lit() const { return lit_; }

    QComboBox* device = nullptr;
    QLabel* light = nullptr;
    QLabel* status = nullptr;
    QPushButton* monitor = nullptr;

signals:
    // The player chose a port, or "None".
    void chosen(const engine::MidiChoice& choice);
    void monitorAsked();

private:
    void take(int index);
    void showLight(bool on);

    QTimer* lightOff_ = nullptr;
    bool lit_ = false;
    bool showing_ = false;
    bool stale_ = false;
};

// The status line's text for the ports' state.
QString midiStatusText(const engine::MidiPorts& ports);

} // namespace shell
