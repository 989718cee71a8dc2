#include "platform/qt/QtTextLabel.h"

#include <QLabel>

namespace platform::qt {

void QtTextLabel::setText(const std::string& text) { label_.setText(QString::fromStdString(text)); }

std::string QtTextLabel::text() const { return label_.text().toStdString(); }

void QtTextLabel::repaintNow() { label_.repaint(); }

} // namespace platform::qt
