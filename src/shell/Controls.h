#pragma once

// Building the windows' controls at the places their design gives, in
// pixels relative to the parent, in fonts that stay readable.

#include <QFont>
#include <QLabel>
#include <QPushButton>

class QFrame;
class QPlainTextEdit;
class QWidget;

namespace shell {

// No text of the program is smaller than this.
constexpr double MinimumPoints = 9.0;

// The desktop's body font (the application's), never under MinimumPoints.
QFont bodyFont();

// The body font's family at `points`, for a desktop whose body font is
// MinimumPoints; a larger body font makes every size larger by as much, so a
// heading keeps its prominence. Never under MinimumPoints.
QFont uiFont(double points, bool bold = false, bool italic = false);

// A line of text as it is shown in `width` pixels: whole when it fits; in the
// same font a little narrower when that is enough; else cut at the right
// with an ellipsis.
struct FittedText {
    QString text;
    QFont font;
    bool whole = true;
};
FittedText fitText(const QString& text, const QFont& font, int width);

// A label whose single line of text never runs out of its width: it is
// narrowed or elided as fitText says, and shows the whole text as its tool
// tip unless it has a tool tip of its own. text() stays the whole text.
// Word-wrapped and rich texts are shown as a QLabel shows them.
class FitLabel : public QLabel {
public:
    using QLabel::QLabel;
    FittedText shown() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool fits() const;
};

// A push button whose caption is fitted to the inside of the button, the same
// way, with the whole caption as tool tip when it is cut.
class FitButton : public QPushButton {
public:
    using QPushButton::QPushButton;
    FittedText shown() const;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

QPushButton* makeButton(QWidget* parent, const char* caption, int left, int top, int width,
                        int height);

// Text from the top-left corner, a FitLabel. A label may be wider than
// designed, so that the texts the program puts in later fit; it is made at
// least one line of its font high.
QLabel* makeLabel(QWidget* parent, const char* text, int left, int top, int width, int height,
                  const QFont& font);

// A raised panel that fills its background.
QFrame* makePanel(QWidget* parent, const char* name, int left, int top, int width, int height);

// A read-only multi-line text box; what does not fit is scrolled to.
QPlainTextEdit* makeTextBox(QWidget* parent, const char* name, int left, int top, int width,
                            int height, const QFont& font);

// Widens `box` (never below `minWidth`, never past `maxWidth`) so that its
// widest line, tab stops included, shows without scrolling sideways.
void widenToText(QPlainTextEdit& box, int minWidth, int maxWidth);

// Makes `window` a borderless child of `main` that covers its whole client
// area when shown, hidden until then, in the body font.
void embedIn(QWidget& window, QWidget& main);

} // namespace shell
