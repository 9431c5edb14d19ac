#include "platform/qt/qt_main_queue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tavix {

void QtMainQueue::post(std::function<void()> fn) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;  // the event loop is gone: nobody is left to tell
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

}  // namespace tavix
