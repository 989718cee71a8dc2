#include "shell/Controls.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QHelpEvent>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextDocument>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace shell {

namespace {

// Narrower than this a text gets hard to read; it is elided instead.
constexpr int MinimumStretch = 85;

double pointsOf(const QFont& font) { return QFontInfo(font).pointSizeF(); }

bool showsToolTip(QWidget& widget, QEvent& event, const FittedText& shown, const QString& whole)
{
    if (event.type() != QEvent::ToolTip || shown.whole || !widget.toolTip().isEmpty())
        return false;
    QToolTip::showText(static_cast<QHelpEvent&>(event).globalPos(), whole, &widget);
    return true;
}

} // namespace

QFont bodyFont()
{
    QFont font = QApplication::font();
    // Said in points even when the desktop gives pixels, so that it scales
    // with the screen's resolution.
    font.setPointSizeF(std::max(pointsOf(font), MinimumPoints));
    return font;
}

QFont uiFont(double points, bool bold, bool italic)
{
    QFont font = bodyFont();
    const double scale = font.pointSizeF() / MinimumPoints;
    font.setPointSizeF(std::max(points * scale, MinimumPoints));
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

FittedText fitText(const QString& text, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    const int advance = metrics.horizontalAdvance(text);
    if (advance <= width)
        return {text, font, true};
    const int normal = font.stretch() > 0 ? font.stretch() : 100;
    for (int stretch = normal * std::max(width, 0) / advance;
         stretch >= normal * MinimumStretch / 100; --stretch) {
        QFont narrow = font;
        narrow.setStretch(stretch);
        if (QFontMetrics(narrow).horizontalAdvance(text) <= width)
            return {text, narrow, true};
    }
    return {metrics.elidedText(text, Qt::ElideRight, std::max(width, 0)), font, false};
}

// --- FitLabel --------------------------------------------------------------------

bool FitLabel::fits() const
{
    return !wordWrap() && textFormat() != Qt::RichText &&
           !(textFormat() == Qt::AutoText && Qt::mightBeRichText(text())) &&
           !text().contains(QLatin1Char('\n'));
}

FittedText FitLabel::shown() const
{
    if (!fits())
        return {text(), font(), true};
    const int m = margin();
    return fitText(text(), font(), contentsRect().width() - 2 * m - std::max(indent(), 0));
}

bool FitLabel::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && showsToolTip(*this, *event, shown(), text()))
        return true;
    return QLabel::event(event);
}

void FitLabel::paintEvent(QPaintEvent* event)
{
    const FittedText line = shown();
    if (line.whole && line.font == font()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    painter.setFont(line.font);
    const int m = margin();
    QRect inside = contentsRect().adjusted(m, m, -m, -m);
    inside.setLeft(inside.left() + std::max(indent(), 0));
    style()->drawItemText(&painter, inside,
                          static_cast<int>(QStyle::visualAlignment(layoutDirection(), alignment())),
                          palette(), isEnabled(), line.text, foregroundRole());
}

// --- FitButton -------------------------------------------------------------------

FittedText FitButton::shown() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect inside = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    // A pixel to spare either side: styles draw the caption that close.
    return fitText(text(), font(), inside.width() - 2);
}

bool FitButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && showsToolTip(*this, *event, shown(), text()))
        return true;
    return QPushButton::event(event);
}

void FitButton::paintEvent(QPaintEvent*)
{
    const FittedText caption = shown();
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = caption.text;
    option.fontMetrics = QFontMetrics(caption.font);
    painter.setFont(caption.font);
    painter.drawControl(QStyle::CE_PushButton, option);
}

// --- Making controls ----------------------------------------------------------------

QPushButton* makeButton(QWidget* parent, const char* caption, int left, int top, int width,
                        int height)
{
    auto* button = new FitButton(QString::fromUtf8(caption), parent);
    // Said outright: under a skin a control made later does not inherit it.
    button->setFont(parent->font());
    button->setGeometry(left, top, width, height);
    // Taller where a large desktop font needs it, so the caption is not cut
    // at the top and bottom.
    QStyleOptionButton option;
    option.initFrom(button);
    const int inside =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).height();
    const int line = button->fontMetrics().height();
    if (inside < line)
        button->resize(width, height + line - inside);
    return button;
}

QLabel* makeLabel(QWidget* parent, const char* text, int left, int top, int width, int height,
                  const QFont& font)
{
    auto* label = new FitLabel(QString::fromUtf8(text), parent);
    label->setFont(font);
    label->setGeometry(left, top, width, std::max(height, QFontMetrics(font).height()));
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
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return box;
}

void widenToText(QPlainTextEdit& box, int minWidth, int maxWidth)
{
    const QFontMetricsF metrics(box.font());
    const qreal tab = box.tabStopDistance();
    qreal widest = 0;
    const QStringList lines = box.toPlainText().split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        qreal x = 0;
        const QStringList parts = line.split(QLatin1Char('\t'));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            x += metrics.horizontalAdvance(parts[i]);
            if (i + 1 < parts.size() && tab > 0)
                x = (std::floor(x / tab) + 1) * tab;
        }
        widest = std::max(widest, x);
    }
    // The text's margins, the frame and, when the lines outnumber the
    // height, the vertical scroll bar beside them.
    const qreal margins = 2 * box.document()->documentMargin() + 2 * box.frameWidth() + 2;
    const bool tall =
        static_cast<qreal>(lines.size()) * metrics.lineSpacing() + margins > box.height();
    const int scrollBar = tall ? box.verticalScrollBar()->sizeHint().width() : 0;
    const int needed = static_cast<int>(std::ceil(widest + margins)) + scrollBar;
    box.resize(std::clamp(needed, minWidth, std::max(minWidth, maxWidth)), box.height());
}

void embedIn(QWidget& window, QWidget& main)
{
    window.setParent(&main);
    window.setWindowFlags(Qt::Widget);
    window.setGeometry(main.rect());
    window.setAttribute(Qt::WA_StyledBackground);
    window.setAutoFillBackground(true);
    window.setFont(bodyFont());
    window.hide();
}

} // namespace shell
