#pragma once

// A window shown inside the main window: borderless, covering the main
// window's whole client area when shown, hidden again when closed.

#include <QWidget>

class QPushButton;

namespace shell {

class TEmbeddedWindow : public QWidget {
    Q_OBJECT

public:
    // Embeds itself in `main`, hidden.
    explicit TEmbeddedWindow(QWidget& main);

    // Every showing, with the window already on top.
    virtual void FormShow() = 0;
    // Hides the window; it stays alive for the next showing.
    void FormClose();
    void bCloseClick();

    QPushButton* bClose = nullptr; // made by the window, which places it

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
};

} // namespace shell
