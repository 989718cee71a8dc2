#include "platform/qt/QtMessageBoxes.h"
#include "platform/qt/QtTextLabel.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace platform::qt {
namespace {

TEST(QtTextLabel, WritesAndReadsTheLabel)
{
    QLabel label;
    QtTextLabel text(label);
    text.setText("42%");
    EXPECT_EQ(label.text(), "42%");
    EXPECT_EQ(text.text(), "42%");
    text.setText("");
    EXPECT_EQ(text.text(), "");
    text.repaintNow(); // must not need a shown window
}

// Answers the next modal box with the given button once it is up.
void answerNextBox(QMessageBox::StandardButton button, QString* seenText)
{
    QTimer::singleShot(0, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                *seenText = box->text();
                EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
                box->button(button)->click();
                return;
            }
        }
        ADD_FAILURE() << "no message box";
    });
}

TEST(QtMessageBoxes, AskYesNoReturnsTheButtonPressed)
{
    QtMessageBoxes boxes;
    QString seen;
    answerNextBox(QMessageBox::No, &seen);
    EXPECT_FALSE(boxes.askYesNo("Reset the statistics?"));
    EXPECT_EQ(seen, "Reset the statistics?");
    answerNextBox(QMessageBox::Yes, &seen);
    EXPECT_TRUE(boxes.askYesNo("Again?"));
    answerNextBox(QMessageBox::Ok, &seen);
    boxes.showMessage("File has the wrong format, highscores have been reset.");
    EXPECT_EQ(seen, "File has the wrong format, highscores have been reset.");
}

// Runs `look` on the next modal box once it is up; `look` must close it.
void onNextBox(std::function<void(QMessageBox&)> look, bool* seen)
{
    QTimer::singleShot(0, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                *seen = true;
                look(*box);
                return;
            }
        }
        ADD_FAILURE() << "no message box";
    });
}

TEST(QtMessageBoxes, ReturnAnswersTheDefaultButton)
{
    QtMessageBoxes boxes;
    bool seen = false;
    onNextBox(
        [](QMessageBox& box) {
            EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::No));
            EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
            QTest::keyClick(&box, Qt::Key_Return);
        },
        &seen);
    EXPECT_FALSE(boxes.askYesNoDefaultNo("Reset note statistics for this key and clef?"));
    EXPECT_TRUE(seen);

    seen = false;
    onNextBox(
        [](QMessageBox& box) {
            EXPECT_EQ(box.defaultButton(), box.button(QMessageBox::Yes));
            QTest::keyClick(&box, Qt::Key_Return);
        },
        &seen);
    EXPECT_TRUE(boxes.askYesNo("Again?"));
    EXPECT_TRUE(seen);
}

TEST(QtMessageBoxes, ACopyableMessageLetsTheUserSelectItsText)
{
    QtMessageBoxes boxes;
    bool seen = false;
    onNextBox(
        [](QMessageBox& box) {
            EXPECT_TRUE(box.textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
            EXPECT_TRUE(box.textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
            EXPECT_TRUE(box.text().contains("https://www.tessaly.example/support.php?id=1"));
            box.button(QMessageBox::Ok)->click();
        },
        &seen);
    boxes.showCopyableMessage("The support page: https://www.tessaly.example/support.php?id=1");
    EXPECT_TRUE(seen);
}

} // namespace
} // namespace platform::qt
