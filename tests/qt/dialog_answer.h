#pragma once

#include <QDialog>

#include <functional>

#include "platform/qt/qt_dialogs.h"

namespace tavix::test {

// Runs `answer` on the next dialog that `dialogs` shows, from inside its modal loop. A dialog that the answer
// leaves open is cancelled after a few seconds, so a failing test ends instead of hanging.
void onNextDialog(QtDialogs& dialogs, std::function<void(QDialog&)> answer);

// Sends a key press and release to `widget`.
void pressKey(QWidget* widget, int key);

}  // namespace tavix::test
