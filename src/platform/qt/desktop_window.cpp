#include "platform/qt/desktop_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/qt/artwork.h"
#include "platform/qt/xdg_activation.h"

namespace tavix {
namespace {

// Compositors let a token go stale within seconds; one that waited longer would only be refused.
constexpr qint64 kTokenLifeMs = 10000;
// Long enough for the compositor to have focused the window when it was going to.
constexpr int kSettleMs = 1000;
// A window that does not come on screen within this is not waited for.
constexpr int kExposeWaitMs = 5000;
const QString kRequestName = QStringLiteral("tavix-activation-request");

struct Offer {
    QString token;
    QElapsedTimer since;
};
Offer& offer() {
    static Offer current;
    return current;
}

bool topLevel(const QWidget* widget) {
    return widget->isWindow() && (widget->windowType() == Qt::Window || widget->windowType() == Qt::Dialog);
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<uint16_t>(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t value = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return value;
}

// GNOME's and KDE's task lists match a window with its desktop file by these; set before the window is mapped.
void nameDesktopFile(QWidget* window) {
    // Qt's offscreen platform offers the X11 interface too, without a connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
    const QByteArray name = QGuiApplication::desktopFileName().toUtf8();
    if (connection == nullptr || name.isEmpty()) return;
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    for (const char* property : {"_KDE_NET_WM_DESKTOP_FILE", "_GTK_APPLICATION_ID"}) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                            atom(connection, property), utf8, 8, static_cast<uint32_t>(name.size()), name.constData());
    }
    xcb_flush(connection);
}

// One window's way forward on Wayland: the activation goes out once the window is on screen (a compositor ignores it
// for a surface it has not mapped), and is checked a moment later.
class ActivationRequest final : public QObject {
  public:
    ActivationRequest(QWidget* window, XdgActivation& xdg) : QObject(window), window_(window), xdg_(xdg) {
        setObjectName(kRequestName);
    }

    void start() {
        QWindow* handle = window_->windowHandle();
        if (handle != nullptr && handle->isExposed()) {
            activate();
            return;
        }
        if (handle != nullptr) handle->installEventFilter(this);
        QTimer::singleShot(kExposeWaitMs, this, [this] {
            if (!activated_) deleteLater();
        });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed() && !activated_) {
            watched->removeEventFilter(this);
            // After the window has drawn itself: its first frame is what maps it.
            QTimer::singleShot(0, this, &ActivationRequest::activate);
        }
        return false;
    }

  private:
    void activate() {
        activated_ = true;
        const QString offered = takeActivationToken();
        xdg_.activate(window_->windowHandle(), offered.isEmpty() ? xdg_.newToken() : offered);
        QTimer::singleShot(kSettleMs, this, [this, given = !offered.isEmpty()] {
            // A token that was stale or refused changes nothing: then at least ask for attention.
            if (given && window_->isVisible() && !window_->isActiveWindow()) {
                xdg_.activate(window_->windowHandle(), xdg_.newToken());
            }
            deleteLater();
        });
    }

    QWidget* window_;
    XdgActivation& xdg_;
    bool activated_ = false;
};

}  // namespace

void offerActivationToken(const QString& token) {
    if (token.isEmpty()) return;
    offer().token = token;
    offer().since.start();
}

QString takeActivationToken() {
    Offer& current = offer();
    const bool fresh = current.since.isValid() && current.since.elapsed() < kTokenLifeMs;
    current.since.invalidate();
    return fresh ? current.token : QString();
}

void requestActivation(QWidget* window) {
    XdgActivation* xdg = XdgActivation::instance();
    if (xdg == nullptr) {
        window->activateWindow();
        return;
    }
    // Menus and tooltips are not the compositor's to focus.
    if (!window->isVisible() || !topLevel(window) ||
        window->findChild<QObject*>(kRequestName, Qt::FindDirectChildrenOnly) != nullptr) {
        return;
    }
    (new ActivationRequest(window, *xdg))->start();
}

DesktopWindows::DesktopWindows() {
    QApplication::setWindowIcon(logoIcon());
    offerActivationToken(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"));
    qunsetenv("XDG_ACTIVATION_TOKEN");
    QCoreApplication::instance()->installEventFilter(this);
}

DesktopWindows::~DesktopWindows() {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::instance()->removeEventFilter(this);
}

bool DesktopWindows::eventFilter(QObject* watched, QEvent* event) {
    // Sent before the window is mapped: in time for the window manager to read what it is.
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* window = static_cast<QWidget*>(watched);
    if (!topLevel(window)) return false;
    nameDesktopFile(window);
    if (XdgActivation::instance() != nullptr) requestActivation(window);
    return false;
}

}  // namespace tavix
