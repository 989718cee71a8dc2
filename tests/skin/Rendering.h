#pragma once

// Measuring what a skin shows: a control as it appears inside its window,
// the colour behind its text and the contrast of the text to it.

#include <QColor>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace skintest {

// WCAG 2 relative luminance of an sRGB colour.
inline double luminance(const QColor& c)
{
    const auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

// WCAG 2 contrast ratio, 1 to 21.
inline double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

inline QColor mostCommonColour(const QImage& image)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000u];
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    return QColor::fromRgb(best);
}

// The control as it shows inside its top-level window, window background
// included (a label has none of its own).
inline QImage shownImage(QWidget& control)
{
    QWidget& top = *control.window();
    const QRect place(control.mapTo(&top, QPoint(0, 0)), control.size());
    return top.grab(place).toImage().convertToFormat(QImage::Format_RGB32);
}

inline QString textOf(const QWidget& control)
{
    if (const auto* b = qobject_cast<const QPushButton*>(&control))
        return b->text();
    if (const auto* l = qobject_cast<const QLabel*>(&control))
        return l->text();
    if (const auto* t = qobject_cast<const QPlainTextEdit*>(&control))
        return t->toPlainText();
    return {};
}

inline void setTextOf(QWidget& control, const QString& text)
{
    if (auto* b = qobject_cast<QPushButton*>(&control))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(&control))
        l->setText(text);
    else if (auto* t = qobject_cast<QPlainTextEdit*>(&control))
        t->setPlainText(text);
}

// The text of a control against its background. The text's pixels are those
// that change when the text is taken away; the background is the commonest
// colour behind them (a button's face may be a gradient, and its border
// the commonest colour of all), and the text colour is the text pixel that
// stands out most from it.
struct Ink {
    QColor background;
    QColor text;
    double ratio = 1.0;
    QRect extent; // of the text's pixels, in the control
};

inline Ink inkOf(QWidget& control)
{
    const QString text = textOf(control);
    const QImage with = shownImage(control);
    setTextOf(control, QString());
    const QImage without = shownImage(control);
    setTextOf(control, text);

    Ink ink;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y))
                ink.extent |= QRect(x, y, 1, 1);
    if (ink.extent.isEmpty())
        return ink; // no text shows at all
    ink.background = mostCommonColour(without.copy(ink.extent));
    ink.text = ink.background;
    for (int y = ink.extent.top(); y <= ink.extent.bottom(); ++y)
        for (int x = ink.extent.left(); x <= ink.extent.right(); ++x) {
            if (with.pixel(x, y) == without.pixel(x, y))
                continue;
            const QColor pixel = QColor::fromRgb(with.pixel(x, y));
            const double ratio = contrast(pixel, ink.background);
            if (ratio > ink.ratio) {
                ink.ratio = ratio;
                ink.text = pixel;
            }
        }
    return ink;
}

} // namespace skintest
