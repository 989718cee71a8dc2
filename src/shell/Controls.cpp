#include "shell/Controls.h"

#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>

namespace shell {

QFont sansFont(int pixels, bool bold, bool italic)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

QPushButton* makeButton(QWidget* parent, const char* caption, int left, int top, int width,
                        int height)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    // Said outright: under a skin a control made later does not inherit it.
    button->setFont(parent->font());
    button->setGeometry(left, top, width, height);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* text, int left, int top, int width, int height,
                  const QFont& font)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setFont(font);
    label->setGeometry(left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFrame* makePanel(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromUtf8(name));
    panel->setGeometry(left, top, width, height);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAutoFillBackground(true);
    return panel;
}

QPlainTextEdit* makeTextBox(QWidget* parent, const char* name, int left, int top, int width,
                            int height, const QFont& font)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(QString::fromUtf8(name));
    box->setGeometry(left, top, width, height);
    box->setFont(font);
    box->setReadOnly(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    return box;
}

void embedIn(QWidget& window, QWidget& main)
{
    window.setParent(&main);
    window.setWindowFlags(Qt::Widget);
    window.setGeometry(main.rect());
    window.setAttribute(Qt::WA_StyledBackground);
    window.setAutoFillBackground(true);
    window.setFont(sansFont(11));
    window.hide();
}

} // namespace shell
