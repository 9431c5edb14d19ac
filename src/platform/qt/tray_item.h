#pragma once

#include <QColor>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

#include "platform/status_item.h"

class QMenu;
class QSystemTrayIcon;

namespace tavix {

class DBusMenu;
class StatusNotifierItem;
class StatusNotifierRegistration;
class TrayColourWatch;

// The tray icon and its status menu. On the session bus it is a StatusNotifierItem with an exported DBusMenu,
// registered whenever a panel shows such items (KDE, LXQt, XFCE, GNOME with AppIndicator, waybar). On an X11
// desktop without that, an XEmbed tray (trayer, tint2, stalonetray) gets a QSystemTrayIcon with a QMenu instead.
// A copy started before its panel (at login) shows up once the panel is there.
class TrayItem final : public QObject, public StatusItem {
    Q_OBJECT
  public:
    explicit TrayItem(QDBusConnection bus = QDBusConnection::sessionBus());
    ~TrayItem() override;

    void create(const std::string& accessibleName, StatusItemDelegate& delegate) override;
    void setTooltip(const std::string& text) override;
    void setMenu(const std::vector<MenuRow>& rows) override;
    bool shown() const override;

    // The bus name the item is registered under, empty without a session bus.
    QString serviceName() const { return service_; }
    // The menu of the XEmbed tray icon.
    QMenu* menu() const { return menu_.get(); }
    QSystemTrayIcon* xembedIcon() const { return xembed_; }

  private:
    void exportItem(const QString& title);
    void settle();
    void showXEmbed();
    void hideXEmbed();
    void updateXEmbedColour();
    void applyRows();
    void rebuildActions(const std::vector<MenuRow>& rows);

    QDBusConnection bus_;
    QString service_;
    StatusNotifierItem* item_ = nullptr;
    DBusMenu* dbusMenu_ = nullptr;
    StatusNotifierRegistration* registration_ = nullptr;

    std::unique_ptr<QMenu> menu_;
    QIcon logoIcon_;
    QSystemTrayIcon* xembed_ = nullptr;
    std::optional<QColor> xembedColour_;
    std::unique_ptr<TrayColourWatch> colourWatch_;
    QTimer xembedWait_;
    QElapsedTimer xembedSeen_;

    StatusItemDelegate* delegate_ = nullptr;
    std::vector<MenuRow> rows_;
    std::vector<MenuRow> menuRows_;  // what the QMenu shows
    QString tooltip_;
};

}  // namespace tavix
