#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

#include "platform/qt/sni/dbus_types.h"

namespace tavix {

// The tray icon as an org.kde.StatusNotifierItem object: the panel draws it, shows its tooltip and, the item being a
// menu, opens the exported menu on a click. A change signal goes out only when what it announces has changed.
class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ title CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(int WindowId READ windowId CONSTANT)
    Q_PROPERTY(QString IconThemePath READ iconThemePath CONSTANT)
    Q_PROPERTY(QDBusObjectPath Menu READ menu CONSTANT)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QString IconName READ iconName CONSTANT)
    Q_PROPERTY(tavix::DBusImageList IconPixmap READ iconPixmap CONSTANT)
    Q_PROPERTY(QString OverlayIconName READ noIconName CONSTANT)
    Q_PROPERTY(tavix::DBusImageList OverlayIconPixmap READ noImages CONSTANT)
    Q_PROPERTY(QString AttentionIconName READ noIconName CONSTANT)
    Q_PROPERTY(tavix::DBusImageList AttentionIconPixmap READ noImages CONSTANT)
    Q_PROPERTY(QString AttentionMovieName READ noIconName CONSTANT)
    Q_PROPERTY(tavix::DBusToolTip ToolTip READ toolTip)

  public:
    struct Icon {
        QString name;          // looked up in the icon theme, where the panel colours it
        QString themePath;     // an extra folder to look in, or empty
        DBusImageList images;  // for panels that do not find the name
    };

    StatusNotifierItem(QString title, QDBusObjectPath menu, std::function<Icon()> icon, std::function<void()> activate,
                       QObject* parent = nullptr);

    void setToolTip(const QString& title);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("app.tavix.menu"); }
    QString title() const { return title_; }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconThemePath() const { return icon().themePath; }
    QDBusObjectPath menu() const { return menu_; }
    bool itemIsMenu() const { return true; }
    QString iconName() const { return icon().name; }
    DBusImageList iconPixmap() const { return icon().images; }
    QString noIconName() const { return {}; }
    DBusImageList noImages() const { return {}; }
    DBusToolTip toolTip() const { return {QString(), {}, toolTip_, QString()}; }

    // The org.kde.StatusNotifierItem methods.
  public Q_SLOTS:
    void ContextMenu(int x, int y);
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void Scroll(int delta, const QString& orientation);
    // Hosts that have one call this just before Activate: the token that lets the window that opens take the focus
    // on Wayland.
    void ProvideXdgActivationToken(const QString& token);

  Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

  private:
    const Icon& icon() const;

    QString title_;
    QDBusObjectPath menu_;
    std::function<Icon()> makeIcon_;
    mutable std::optional<Icon> icon_;
    std::function<void()> activate_;
    QString toolTip_;
};

// Keeps an item registered with the desktop's org.kde.StatusNotifierWatcher: once the watcher is there and says a
// host (a panel that draws items) is registered, and again whenever another process takes the watcher over, as when
// a panel restarts. A watcher may be up long before its host (waybar), so the host is waited for.
class StatusNotifierRegistration final : public QObject {
    Q_OBJECT
  public:
    // `item`: what RegisterStatusNotifierItem is given, a bus name or an object path on `bus`.
    StatusNotifierRegistration(QDBusConnection bus, QString item, QObject* parent = nullptr);

    void start();
    bool watcherPresent() const { return !owner_.isEmpty(); }
    // The watcher has taken the item and a host shows it.
    bool registered() const { return registered_; }

  Q_SIGNALS:
    void changed();

  private Q_SLOTS:
    void hostRegistered();

  private:
    void ownerChanged(const QString& owner);
    void check();
    void setRegistered(bool registered);

    QDBusConnection bus_;
    QString item_;
    QDBusServiceWatcher ownerWatcher_;
    QTimer retry_;
    QString owner_;
    bool registered_ = false;
    bool checking_ = false;
    bool recheck_ = false;
};

}  // namespace tavix
