#include "shell/EmbeddedWindow.h"

#include "shell/Controls.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QShowEvent>

namespace shell {

TEmbeddedWindow::TEmbeddedWindow(QWidget& main) { embedIn(*this, main); }

void TEmbeddedWindow::FormClose() { hide(); }

void TEmbeddedWindow::bCloseClick() { close(); }

void TEmbeddedWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return; // the program coming back from being minimised
    raise();
    FormShow();
    if (bClose != nullptr)
        bClose->setFocus();
}

void TEmbeddedWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
}

} // namespace shell
