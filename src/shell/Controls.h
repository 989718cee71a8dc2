#pragma once

// Building the windows' controls at the places their design gives, in
// pixels relative to the parent.

#include <QFont>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace shell {

// The platform's sans font at a pixel height (the design's height -11 is
// 11 pixels).
QFont sansFont(int pixels, bool bold = false, bool italic = false);

QPushButton* makeButton(QWidget* parent, const char* caption, int left, int top, int width,
                        int height);

// Text from the top-left corner. A label may be wider than designed, so that
// the texts the program puts in later fit.
QLabel* makeLabel(QWidget* parent, const char* text, int left, int top, int width, int height,
                  const QFont& font);

// A raised panel that fills its background.
QFrame* makePanel(QWidget* parent, const char* name, int left, int top, int width, int height);

// A read-only multi-line text box.
QPlainTextEdit* makeTextBox(QWidget* parent, const char* name, int left, int top, int width,
                            int height, const QFont& font);

// Makes `window` a borderless child of `main` that covers its whole client
// area when shown, hidden until then.
void embedIn(QWidget& window, QWidget& main);

} // namespace shell
