#include "shell/MidiMonitor.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace shell {

MidiMonitor::MidiMonitor(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("midiMonitorWindow"));
    setWindowTitle(QStringLiteral("MIDI monitor"));
    resize(560, 360);
    auto* layout = new QVBoxLayout(this);
    listening = new QLabel(this);
    listening->setWordWrap(true);
    layout->addWidget(listening);
    lines = new QPlainTextEdit(this);
    lines->setObjectName(QStringLiteral("midiLines"));
    lines->setReadOnly(true);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setMaximumBlockCount(static_cast<int>(engine::MidiPorts::MonitorLines));
    lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lines->setPlaceholderText(QStringLiteral("Play a key: each message shows here as it arrives."));
    layout->addWidget(lines, 1);
    auto* row = new QHBoxLayout;
    realTime = new QCheckBox(QStringLiteral("Show clock and active sensing"), this);
    row->addWidget(realTime);
    row->addStretch(1);
    clear = new QPushButton(QStringLiteral("Clear"), this);
    row->addWidget(clear);
    layout->addLayout(row);

    connect(clear, &QPushButton::clicked, this, [this] {
        lines->clear();
        emit clearAsked();
    });
    connect(realTime, &QCheckBox::toggled, this, [this] {
        if (ports_ != nullptr)
            showAll(*ports_);
    });
}

void MidiMonitor::showAll(const engine::MidiPorts& ports)
{
    ports_ = &ports;
    QString text;
    switch (ports.status()) {
    case engine::MidiStatus::Connected:
        text = QStringLiteral("Listening to %1").arg(QString::fromStdString(ports.statusPort()));
        break;
    case engine::MidiStatus::Disconnected:
        text = QStringLiteral("%1 is disconnected").arg(QString::fromStdString(ports.statusPort()));
        break;
    default:
        text = QStringLiteral("No keyboard open");
        break;
    }
    if (!ports.virtualPorts().empty()) {
        QStringList drivers;
        for (const std::string& d : ports.virtualPorts())
            drivers << QString::fromStdString(d);
        text += QStringLiteral("; other programs can play into \"%1\" (%2)")
                    .arg(QString::fromLatin1(engine::VirtualPortName), drivers.join(", "));
    }
    listening->setText(text + QStringLiteral("."));
    lines->clear();
    for (const engine::MidiMonitorLine& line : ports.monitor())
        add(line);
}

void MidiMonitor::add(const engine::MidiMonitorLine& line)
{
    if (line.realTime && !realTime->isChecked())
        return;
    lines->appendPlainText(QString::fromStdString(line.text()));
}

} // namespace shell
