#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>

#include <gtest/gtest.h>

namespace tavix {
namespace {

// Runs `answer` from inside the modal loop of every dialog that `dialogs` shows. A dialog the answer leaves open is
// cancelled after a few seconds, so a failing test ends instead of hanging.
void answerDialogs(QtDialogs& dialogs, std::function<void(QDialog&)> answer) {
    QObject::connect(&dialogs, &QtDialogs::dialogShown, &dialogs, [answer](QDialog* dialog) {
        QTimer::singleShot(0, dialog, [dialog, answer] { answer(*dialog); });
        QTimer::singleShot(5000, dialog, [dialog] {
            ADD_FAILURE() << "the dialog was left open";
            dialog->reject();
        });
    });
}

void pressKey(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

enum class Answer { button, returnKey, cancel, escape, close };

TEST(Form, AnswersAndConfirmations) {
    const std::vector<FormField> pairing = {{"Server", "https://tavix.example", false}, {"Pairing code", "", true}};
    const struct {
        const char* name;
        bool confirm;  // ask with confirm(), which answers true or false
        std::vector<FormField> fields;
        std::vector<const char*> typed;
        Answer answer;
        bool accepted;
        std::vector<std::string> answers;
    } cases[] = {
        {"initial values", false, pairing, {}, Answer::button, true, {"https://tavix.example", ""}},
        {"trimmed", false, pairing, {"  word\n", " \t two  words \r\n"}, Answer::button, true, {"word", "two  words"}},
        {"Return", false, pairing, {"  host.example ", "123456"}, Answer::returnKey, true, {"host.example", "123456"}},
        {"no fields", false, {}, {}, Answer::button, true, {}},
        {"Cancel", false, pairing, {"typed", "123456"}, Answer::cancel, false, {}},
        {"Escape", false, pairing, {"typed", "123456"}, Answer::escape, false, {}},
        {"closed", false, pairing, {}, Answer::close, false, {}},
        {"confirm: Return", true, {}, {}, Answer::returnKey, true, {}},
        {"confirm: Escape", true, {}, {}, Answer::escape, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QtDialogs dialogs;
        answerDialogs(dialogs, [&](QDialog& dialog) {
            const auto inputs = dialog.findChildren<QLineEdit*>();
            ASSERT_EQ(inputs.size(), qsizetype(c.fields.size()));
            EXPECT_TRUE(inputs.empty() || dialog.focusWidget() == inputs[0])
                << "the keyboard starts in the first field";
            // One band per field: its label above its input, which a screen reader announces by that label.
            const QWidget* accessory = inputs.empty() ? nullptr : inputs[0]->parentWidget();
            EXPECT_EQ(accessory ? accessory->size() : QSize(),
                      inputs.empty() ? QSize() : QSize(360, 62 * int(inputs.size())));
            for (qsizetype i = 0; i < inputs.size(); ++i) {
                const QLabel* label = accessory->findChildren<QLabel*>().value(i);
                ASSERT_NE(label, nullptr);
                EXPECT_EQ(label->geometry(), QRect(0, 62 * int(i) + 8, 360, 20));
                EXPECT_EQ(label->text().toStdString(), c.fields[std::size_t(i)].label);
                EXPECT_EQ(inputs[i]->geometry(), QRect(0, 62 * int(i) + 32, 360, 26));
                EXPECT_EQ(inputs[i]->echoMode(),
                          c.fields[std::size_t(i)].secure ? QLineEdit::Password : QLineEdit::Normal);
                EXPECT_EQ(inputs[i]->accessibleName(), label->text());
            }
            for (std::size_t i = 0; i < c.typed.size(); ++i) inputs[qsizetype(i)]->setText(c.typed[i]);
            auto buttons = dialog.findChildren<QPushButton*>();
            std::sort(buttons.begin(), buttons.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
            ASSERT_EQ(buttons.size(), 2);
            EXPECT_EQ(buttons[0]->text(), QStringLiteral("Pair"));
            EXPECT_TRUE(buttons[0]->isDefault());
            EXPECT_EQ(buttons[1]->text(), QStringLiteral("Cancel"));
            const QLabel* title = dialog.findChild<QLabel*>("title");
            const QLabel* text = dialog.findChild<QLabel*>("text");
            EXPECT_EQ(title->text() + " | " + text->text(), "Pair <b>this</b> Mac | Devices → Link & <i>more</i>");
            EXPECT_TRUE(title->textFormat() == Qt::PlainText && text->textFormat() == Qt::PlainText);
            EXPECT_TRUE(title->font().bold());
            QWidget* focus = dialog.focusWidget() ? dialog.focusWidget() : &dialog;
            const std::function<void()> act[] = {[&] { buttons[0]->click(); }, [&] { pressKey(focus, Qt::Key_Return); },
                                                 [&] { buttons[1]->click(); }, [&] { pressKey(focus, Qt::Key_Escape); },
                                                 [&] { dialog.close(); }};
            act[int(c.answer)]();
        });
        const char* title = "Pair <b>this</b> Mac";
        const char* text = "Devices → Link & <i>more</i>";
        if (c.confirm) {
            EXPECT_EQ(dialogs.confirm(title, text, "Pair"), c.accepted);
        } else {
            const auto expected = c.accepted ? std::optional(c.answers) : std::nullopt;
            EXPECT_EQ(dialogs.form(title, text, c.fields, "Pair"), expected);
        }
    }
}

// Message boxes live only while they are shown.
int messageBoxes() {
    int boxes = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) boxes += qobject_cast<QMessageBox*>(window) != nullptr;
    return boxes;
}

TEST(Alert, ReturnsAtOnceThenShowsPlainBoxesOneAtATimeInOrder) {
    QtDialogs dialogs;
    std::vector<std::string> seen;
    answerDialogs(dialogs, [&](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ASSERT_NE(box, nullptr);
        seen.push_back((box->text() + " / " + box->informativeText()).toStdString());
        if (seen.size() == 1) dialogs.alert("third", "queued while the first is open", Outcome::done);
        EXPECT_EQ(messageBoxes(), 1) << "one box at a time";
        EXPECT_EQ(box->buttons().size(), 1);
        // Both lines show their characters literally, markup included.
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == box->text() || label->text() == box->informativeText()) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            }
        }
        box->accept();
    });
    dialogs.alert("Could not start <b>bridge</b>", "<i>x</i> & more", Outcome::done);
    dialogs.alert("second", "2", Outcome::done);
    EXPECT_EQ(messageBoxes(), 0) << "the caller goes on before the box exists";
    EXPECT_TRUE(seen.empty());
    for (int i = 0; i < 10 && seen.size() < 3; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<std::string>{"Could not start <b>bridge</b> / <i>x</i> & more", "second / 2",
                                              "third / queued while the first is open"}));
    EXPECT_EQ(messageBoxes(), 0);
}

TEST(Alert, LongTextsScrollWithinTheScreenShortOnesStayMessageBoxes) {
    QString lines;
    for (int i = 0; lines.size() < 1790; ++i) lines += QStringLiteral("line %1 of the output\n").arg(i);
    const struct {
        const char* what;
        QString text;
        bool box;  // shown as a plain message box, as every alert used to be
    } cases[] = {
        {"short", QStringLiteral("The bridge did not answer."), true},
        {"many short lines", lines, false},
        {"one long word", QString(1600, QLatin1Char('x')), false},
    };
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QtDialogs dialogs;
        bool seen = false;
        answerDialogs(dialogs, [&](QDialog& dialog) {
            seen = true;
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            ASSERT_EQ(box != nullptr, c.box);
            if (box != nullptr) {
                EXPECT_EQ(box->informativeText(), c.text);
                box->accept();
                return;
            }
            EXPECT_LE(dialog.width(), screen.width());
            EXPECT_LE(dialog.height(), screen.height());
            EXPECT_EQ(dialog.findChild<QLabel*>("title")->text(), QStringLiteral("Failed"));
            auto* area = dialog.findChild<QPlainTextEdit*>("text");
            ASSERT_NE(area, nullptr);
            EXPECT_EQ(area->toPlainText().toStdString(), c.text.toStdString());
            EXPECT_TRUE(area->isReadOnly());
            EXPECT_TRUE(area->textInteractionFlags() & Qt::TextSelectableByKeyboard);
            EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0) << "wrapped, never cut or scrolled sideways";
            EXPECT_GT(area->document()->firstBlock().layout()->lineCount() + area->document()->blockCount(), 20);
            auto buttons = dialog.findChildren<QPushButton*>();
            ASSERT_EQ(buttons.size(), 1);
            const QRect button(buttons[0]->mapTo(&dialog, QPoint(0, 0)), buttons[0]->size());
            EXPECT_TRUE(dialog.rect().contains(button)) << "the button stays in view";
            EXPECT_TRUE(buttons[0]->isVisible());
            buttons[0]->click();
        });
        dialogs.alert("Failed", c.text.toStdString(), Outcome::failed);
        for (int i = 0; i < 10 && !seen; ++i) QCoreApplication::processEvents();
        EXPECT_TRUE(seen);
        EXPECT_EQ(messageBoxes(), 0);
    }
}

}  // namespace
}  // namespace tavix
