#pragma once

// The MIDI monitor: the last messages that arrived, decoded, newest at the
// bottom, so that a player can tell whether the keyboard, the cable or the
// exercise is at fault.

#include "engine/MidiPorts.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace shell {

class MidiMonitor : public QWidget {
    Q_OBJECT

public:
    explicit MidiMonitor(QWidget* parent);

    // Shows what `ports` kept, and which ports listen.
    void showAll(const engine::MidiPorts& ports);
    // Adds one message at the bottom.
    void add(const engine::MidiMonitorLine& line);

    QLabel* listening = nullptr;
    QPlainTextEdit* lines = nullptr;
    QCheckBox* realTime = nullptr;
    QPushButton* clear = nullptr;

signals:
    void clearAsked();

private:
    const engine::MidiPorts* ports_ = nullptr;
};

} // namespace shell
