#include "platform/qt/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace platform::qt {

void QtMessageBoxes::showMessage(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtMessageBoxes::askYesNo(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(),
                    QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

} // namespace platform::qt
