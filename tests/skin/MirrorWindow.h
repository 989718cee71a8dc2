#pragma once

// A small copy of the program's main window to try the skins on: the window
// classes the sheets select by name, and a control of each kind at the place
// and in the font the real windows give it.

#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWidget>

namespace shell {

// Stand-ins for the program's windows; the skin tests do not link the shell.
class TfMain : public QWidget {
    Q_OBJECT
public:
    explicit TfMain(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_StyledBackground);
    }
};

class TfStats : public QWidget {
    Q_OBJECT
public:
    explicit TfStats(QWidget* parent = nullptr)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_StyledBackground);
    }
};

} // namespace shell

namespace skintest {

// The panels' own colour, which no skin may change.
inline const QColor PanelColour(231, 233, 245);

inline QFont sansFont(int pixels, bool bold = false, bool italic = false)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    return font;
}

class MirrorWindow {
public:
    MirrorWindow()
    {
        window.setFixedSize(700, 625);
        window.setFont(sansFont(11));
        QPalette face = window.palette(); // button-face background, as the real window
        face.setColor(QPalette::Window, face.color(QPalette::Button));
        window.setPalette(face);
        window.setAutoFillBackground(true);

        Panel1 = panel("Panel1", &window, {338, 2, 343, 35});
        bStats = button(Panel1, "Statistics", {93, 5, 75, 25});
        bStats->setEnabled(false); // as during a run
        bSkin = button(Panel1, "Change skin", {259, 5, 75, 25});
        sPanel1 = panel("sPanel1", &window, {495, 45, 90, 34});
        lCurrentNote = label(sPanel1, "150 / 150", {5, 7, 84, 20}, sansFont(16, true));
        bStart = button(&window, "Playing", {52, 525, 75, 25});
        lQuestion = label(&window, "What note is this?", {159, 529, 533, 16}, sansFont(15, true));
        lExplanation = label(&window, "Click on any corresponding note name on the piano.",
                             {162, 552, 530, 16}, sansFont(13, false, true));

        // The statistics window, embedded where the staff would be.
        fStats = new shell::TfStats(&window);
        fStats->setGeometry(8, 80, 320, 300);
        Label1 = label(fStats, "C Major", {20, 10, 150, 37}, sansFont(32));
        mNoteStats = new QPlainTextEdit(fStats);
        mNoteStats->setGeometry(20, 60, 180, 120);
        mNoteStats->setFont(sansFont(11, true));
        mNoteStats->setReadOnly(true);
        mNoteStats->setPlainText(QStringLiteral("C  12 / 14\nD  9 / 9\nE  7 / 11"));
        bResetNotes = button(fStats, "Reset", {210, 60, 43, 17});
    }

    // Shows the window as the program does: the skin is polished in as the
    // window shows, and the window colours its panels when it is shown.
    bool show()
    {
        window.show();
        const bool exposed = QTest::qWaitForWindowExposed(&window);
        for (QFrame* p : {Panel1, sPanel1}) {
            QPalette palette = p->palette();
            palette.setColor(QPalette::Window, PanelColour);
            p->setPalette(palette);
        }
        return exposed;
    }

    shell::TfMain window;
    QFrame* Panel1 = nullptr;
    QPushButton* bStats = nullptr;
    QPushButton* bSkin = nullptr;
    QFrame* sPanel1 = nullptr;
    QLabel* lCurrentNote = nullptr;
    QPushButton* bStart = nullptr;
    QLabel* lQuestion = nullptr;
    QLabel* lExplanation = nullptr;
    shell::TfStats* fStats = nullptr;
    QLabel* Label1 = nullptr;
    QPlainTextEdit* mNoteStats = nullptr;
    QPushButton* bResetNotes = nullptr;

private:
    static QFrame* panel(const char* name, QWidget* parent, QRect place)
    {
        auto* frame = new QFrame(parent);
        frame->setObjectName(QString::fromLatin1(name));
        frame->setGeometry(place);
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        frame->setAutoFillBackground(true);
        return frame;
    }
    static QPushButton* button(QWidget* parent, const char* caption, QRect place)
    {
        auto* b = new QPushButton(QString::fromLatin1(caption), parent);
        b->setGeometry(place);
        return b;
    }
    static QLabel* label(QWidget* parent, const char* text, QRect place, const QFont& font)
    {
        auto* l = new QLabel(QString::fromLatin1(text), parent);
        l->setFont(font);
        l->setGeometry(place);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return l;
    }
};

} // namespace skintest
