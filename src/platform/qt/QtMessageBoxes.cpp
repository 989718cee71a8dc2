#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace platform::qt {

namespace {

bool ask(QWidget* parent, const std::string& text, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultButton);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

void QtMessageBoxes::showMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

void QtMessageBoxes::showCopyableMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

bool QtMessageBoxes::askYesNo(const std::string& text)
{
    return ask(parent_, text, QMessageBox::Yes);
}

bool QtMessageBoxes::askYesNoDefaultNo(const std::string& text)
{
    return ask(parent_, text, QMessageBox::No);
}

} // namespace platform::qt
