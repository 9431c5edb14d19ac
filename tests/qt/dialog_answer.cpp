#include "dialog_answer.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace tavix::test {

void onNextDialog(QtDialogs& dialogs, std::function<void(QDialog&)> answer) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = QObject::connect(&dialogs, &QtDialogs::dialogShown, &dialogs, [connection, answer](QDialog* dialog) {
        QObject::disconnect(*connection);
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
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
}

}  // namespace tavix::test
