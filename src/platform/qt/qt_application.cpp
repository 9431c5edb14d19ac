#include "platform/qt/qt_application.h"

#include <QApplication>
#include <QWidget>

#include "platform/qt/desktop_window.h"

namespace tavix {

void QtApplication::activate() {
    // A tray application has no window of its own to raise; bring forward whichever of ours is showing.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isWindow() && !window->inherits("QMenu")) {
            window->raise();
            requestActivation(window);
        }
    }
}

void QtApplication::terminate() {
    QCoreApplication::quit();
}

void QtApplication::startRepeatingTimer(double seconds, std::function<void()> tick) {
    timer_.stop();
    timer_.disconnect();
    timer_.setInterval(static_cast<int>(seconds * 1000));
    // Coarse timers may be merged with other wake-ups, which saves power on an idle desktop.
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, [tick = std::move(tick)] { tick(); });
    timer_.start();
}

InstanceClaim QtApplication::claimInstance(ApplicationDelegate& delegate, const std::optional<std::string>& action) {
    return instance_.claim(delegate, action);
}

void QtApplication::runAfter(double seconds, std::function<void()> fn) {
    QTimer::singleShot(static_cast<int>(seconds * 1000), this, [fn = std::move(fn)] { fn(); });
}

}  // namespace tavix
