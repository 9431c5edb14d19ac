#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "dialog_answer.h"

namespace tavix {
namespace {

using test::onNextDialog;
using test::pressKey;

// Widgets of one kind in `dialog`, visible ones only, ordered as they read: top to bottom, left to right.
template <typename W>
std::vector<W*> inReadingOrder(QDialog& dialog) {
    std::vector<W*> widgets;
    for (W* widget : dialog.findChildren<W*>()) {
        if (widget->isVisibleTo(&dialog)) widgets.push_back(widget);
    }
    std::sort(widgets.begin(), widgets.end(), [&](W* a, W* b) {
        const QPoint p = a->mapTo(&dialog, QPoint(0, 0));
        const QPoint q = b->mapTo(&dialog, QPoint(0, 0));
        return p.y() != q.y() ? p.y() < q.y() : p.x() < q.x();
    });
    return widgets;
}

QLabel* labelNamed(QDialog& dialog, const char* name) {
    return dialog.findChild<QLabel*>(QLatin1String(name));
}

TEST(FormAccessory, OneBandPerField) {
    for (int n : {0, 1, 2, 3}) {
        std::vector<FormField> fields;
        for (int i = 0; i < n; ++i)
            fields.push_back({"Label " + std::to_string(i), "value " + std::to_string(i), i == 1});
        QWidget parent;
        QWidget* accessory = QtDialogs::formAccessory(fields, &parent);
        EXPECT_EQ(accessory->size(), QSize(360, 62 * n));
        EXPECT_EQ(accessory->minimumSize(), accessory->maximumSize());

        const auto labels = accessory->findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
        const auto inputs = accessory->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        ASSERT_EQ(labels.size(), n);
        ASSERT_EQ(inputs.size(), n);
        for (int i = 0; i < n; ++i) {
            const QString label = QStringLiteral("Label %1").arg(i);
            EXPECT_EQ(labels[i]->geometry(), QRect(0, 62 * i + 8, 360, 20)) << i;
            EXPECT_EQ(labels[i]->text(), label);
            EXPECT_EQ(inputs[i]->geometry(), QRect(0, 62 * i + 32, 360, 26)) << i;
            EXPECT_EQ(inputs[i]->text(), QStringLiteral("value %1").arg(i));
            EXPECT_EQ(inputs[i]->echoMode(), i == 1 ? QLineEdit::Password : QLineEdit::Normal);
            EXPECT_EQ(inputs[i]->accessibleName(), label);
            EXPECT_EQ(labels[i]->buddy(), inputs[i]);
        }
    }
}

TEST(Form, LayoutFocusAndButtons) {
    QtDialogs dialogs;
    bool inspected = false;
    onNextDialog(dialogs, [&](QDialog& dialog) {
        inspected = true;
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isModal());
        const auto inputs = inReadingOrder<QLineEdit>(dialog);
        ASSERT_EQ(inputs.size(), 2u);
        EXPECT_EQ(dialog.focusWidget(), inputs[0]) << "the keyboard starts in the first field";
        EXPECT_EQ(inputs[0]->text(), QStringLiteral("https://tavix.example"));
        EXPECT_EQ(inputs[0]->echoMode(), QLineEdit::Normal);
        EXPECT_EQ(inputs[1]->echoMode(), QLineEdit::Password);
        EXPECT_EQ(inputs[0]->accessibleName(), QStringLiteral("Server"));
        EXPECT_EQ(inputs[1]->accessibleName(), QStringLiteral("Pairing code"));
        EXPECT_EQ(inputs[1]->y() - inputs[0]->y(), 62);

        const auto buttons = inReadingOrder<QPushButton>(dialog);
        ASSERT_EQ(buttons.size(), 2u);
        EXPECT_EQ(buttons[0]->text(), QStringLiteral("Pair"));
        EXPECT_TRUE(buttons[0]->isDefault());
        EXPECT_EQ(buttons[1]->text(), QStringLiteral("Cancel"));
        EXPECT_FALSE(buttons[1]->isDefault());

        ASSERT_NE(labelNamed(dialog, "title"), nullptr);
        EXPECT_EQ(labelNamed(dialog, "title")->text(), QStringLiteral("Pair <b>this</b> Mac"));
        EXPECT_EQ(labelNamed(dialog, "title")->textFormat(), Qt::PlainText);
        EXPECT_TRUE(labelNamed(dialog, "title")->font().bold());
        EXPECT_EQ(labelNamed(dialog, "text")->text(), QStringLiteral("Devices → Link a computer & <i>more</i>"));
        EXPECT_EQ(labelNamed(dialog, "text")->textFormat(), Qt::PlainText);
        dialog.reject();
    });
    const auto answer = dialogs.form("Pair <b>this</b> Mac", "Devices → Link a computer & <i>more</i>",
                                     {{"Server", "https://tavix.example", false}, {"Pairing code", "", true}}, "Pair");
    EXPECT_TRUE(inspected);
    EXPECT_FALSE(answer.has_value());
}

enum class Answer { confirmButton, returnKey, cancelButton, escapeKey, close };

struct FormCase {
    const char* name;
    std::vector<FormField> fields;
    std::vector<const char*> typed;  // nullptr leaves the field as it is
    Answer answer;
    std::optional<std::vector<std::string>> expected;
};

TEST(Form, Answers) {
    const std::vector<FormField> pairing = {{"Server", "https://tavix.example", false}, {"Pairing code", "", true}};
    const std::vector<FormCase> cases = {
        {"initial values", pairing, {}, Answer::confirmButton, std::vector<std::string>{"https://tavix.example", ""}},
        {"trimmed, inner spaces kept",
         pairing,
         {"  word\n", " \t two  words \r\n"},
         Answer::confirmButton,
         std::vector<std::string>{"word", "two  words"}},
        {"empty fields",
         {{"A", "", false}, {"B", "", true}},
         {},
         Answer::confirmButton,
         std::vector<std::string>{"", ""}},
        {"return presses the confirming button",
         pairing,
         {"  host.example ", "123456"},
         Answer::returnKey,
         std::vector<std::string>{"host.example", "123456"}},
        {"no fields", {}, {}, Answer::confirmButton, std::vector<std::string>{}},
        {"cancel", pairing, {"typed", "123456"}, Answer::cancelButton, std::nullopt},
        {"escape", pairing, {"typed", "123456"}, Answer::escapeKey, std::nullopt},
        {"closed", pairing, {}, Answer::close, std::nullopt},
    };
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.name);
        QtDialogs dialogs;
        onNextDialog(dialogs, [&](QDialog& dialog) {
            const auto inputs = inReadingOrder<QLineEdit>(dialog);
            ASSERT_EQ(inputs.size(), c.fields.size());
            for (std::size_t i = 0; i < c.typed.size(); ++i) {
                if (c.typed[i] != nullptr) inputs[i]->setText(QString::fromUtf8(c.typed[i]));
            }
            const auto buttons = inReadingOrder<QPushButton>(dialog);
            ASSERT_EQ(buttons.size(), 2u);
            QWidget* focus = inputs.empty() ? static_cast<QWidget*>(&dialog) : inputs[0];
            switch (c.answer) {
                case Answer::confirmButton:
                    buttons[0]->click();
                    break;
                case Answer::returnKey:
                    pressKey(focus, Qt::Key_Return);
                    break;
                case Answer::cancelButton:
                    buttons[1]->click();
                    break;
                case Answer::escapeKey:
                    pressKey(focus, Qt::Key_Escape);
                    break;
                case Answer::close:
                    dialog.close();
                    break;
            }
        });
        EXPECT_EQ(dialogs.form("Title", "Text", c.fields, "Pair"), c.expected);
    }
}

TEST(Form, NoFieldsGiveAnEmptyAccessory) {
    QtDialogs dialogs;
    onNextDialog(dialogs, [&](QDialog& dialog) {
        EXPECT_TRUE(inReadingOrder<QLineEdit>(dialog).empty());
        const auto buttons = inReadingOrder<QPushButton>(dialog);
        ASSERT_FALSE(buttons.empty());
        buttons[0]->click();
    });
    const auto answer = dialogs.form("Title", "Text", {}, "OK");
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(answer->empty());
    QWidget parent;
    EXPECT_EQ(QtDialogs::formAccessory({}, &parent)->height(), 0);
}

TEST(Confirm, TrueOnlyForTheConfirmingButton) {
    struct Case {
        Answer answer;
        bool expected;
    };
    for (Case c : {Case{Answer::confirmButton, true}, Case{Answer::returnKey, true}, Case{Answer::cancelButton, false},
                   Case{Answer::escapeKey, false}, Case{Answer::close, false}}) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        QtDialogs dialogs;
        onNextDialog(dialogs, [&](QDialog& dialog) {
            EXPECT_TRUE(dialog.isModal());
            EXPECT_TRUE(inReadingOrder<QLineEdit>(dialog).empty());
            const auto buttons = inReadingOrder<QPushButton>(dialog);
            ASSERT_EQ(buttons.size(), 2u);
            EXPECT_EQ(buttons[0]->text(), QStringLiteral("Disconnect"));
            EXPECT_TRUE(buttons[0]->isDefault());
            EXPECT_EQ(buttons[1]->text(), QStringLiteral("Cancel"));
            EXPECT_EQ(labelNamed(dialog, "title")->text(), QStringLiteral("Disconnect this Mac?"));
            switch (c.answer) {
                case Answer::confirmButton:
                    buttons[0]->click();
                    break;
                case Answer::returnKey:
                    pressKey(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Return);
                    break;
                case Answer::cancelButton:
                    buttons[1]->click();
                    break;
                case Answer::escapeKey:
                    pressKey(&dialog, Qt::Key_Escape);
                    break;
                case Answer::close:
                    dialog.close();
                    break;
            }
        });
        EXPECT_EQ(dialogs.confirm("Disconnect this Mac?", "This stops the local bridge.", "Disconnect"), c.expected);
    }
}

bool anyMessageBox() {
    const auto windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* w) { return qobject_cast<QMessageBox*>(w); });
}

TEST(Alert, QueuedAndShownAsPlainText) {
    QtDialogs dialogs;
    std::vector<std::string> seen;
    onNextDialog(dialogs, [&](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->isVisible());
        EXPECT_EQ(box->text(), QStringLiteral("Could not start bridge"));
        EXPECT_EQ(box->informativeText(), QStringLiteral("<b>x</b> & more"));
        // Both lines show their characters literally, markup included.
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() == box->text() || label->text() == box->informativeText()) {
                EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
            }
        }
        const auto buttons = box->buttons();
        ASSERT_EQ(buttons.size(), 1);
        EXPECT_EQ(box->standardButton(buttons[0]), QMessageBox::Ok);
        seen.push_back(box->text().toStdString());
        buttons[0]->click();
    });
    dialogs.alert("Could not start bridge", "<b>x</b> & more");
    // The caller goes on before the box exists.
    EXPECT_FALSE(anyMessageBox());
    EXPECT_TRUE(seen.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(seen, std::vector<std::string>{"Could not start bridge"});
    EXPECT_FALSE(anyMessageBox());
}

TEST(Alert, SeveralShowOneAfterAnotherInOrder) {
    QtDialogs dialogs;
    std::vector<std::string> seen;
    std::function<void(QDialog&)> answer = [&](QDialog& dialog) {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        ASSERT_NE(box, nullptr);
        int visible = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) visible += qobject_cast<QMessageBox*>(w) && w->isVisible();
        EXPECT_EQ(visible, 1) << "one box at a time";
        seen.push_back(box->text().toStdString());
        if (seen.size() == 1) dialogs.alert("third", "queued while the first is open");
        if (seen.size() < 3) onNextDialog(dialogs, answer);
        box->accept();
    };
    onNextDialog(dialogs, answer);
    dialogs.alert("first", "");
    dialogs.alert("second", "");
    for (int i = 0; i < 10 && seen.size() < 3; ++i) QCoreApplication::processEvents();
    EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "third"}));
}

}  // namespace
}  // namespace tavix
