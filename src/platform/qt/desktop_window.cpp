#include "platform/qt/desktop_window.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

#include "platform/qt/artwork.h"

namespace tavix {
namespace {

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
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const QByteArray name = QGuiApplication::desktopFileName().toUtf8();
    if (x11 == nullptr || name.isEmpty()) return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t utf8 = atom(connection, "UTF8_STRING");
    for (const char* property : {"_KDE_NET_WM_DESKTOP_FILE", "_GTK_APPLICATION_ID"}) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                            atom(connection, property), utf8, 8, static_cast<uint32_t>(name.size()), name.constData());
    }
    xcb_flush(connection);
}

}  // namespace

DesktopWindows::DesktopWindows() {
    QApplication::setWindowIcon(logoIcon());
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
    return false;
}

}  // namespace tavix
