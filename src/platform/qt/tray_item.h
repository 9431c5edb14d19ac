#pragma once

#include <QIcon>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

#include "platform/status_item.h"

class QDBusServiceWatcher;
class QMenu;
class QSystemTrayIcon;

namespace tavix {

// The tray icon and its status menu. The icon is created only once a tray host exists, so a copy started at
// login before the panel still gets its icon; until then tooltip and menu are kept and applied on creation.
class TrayItem final : public QObject, public StatusItem {
    Q_OBJECT
  public:
    TrayItem();
    ~TrayItem() override;

    void create(const std::string& accessibleName, StatusItemDelegate& delegate) override;
    void setTooltip(const std::string& text) override;
    void setMenu(const std::vector<MenuRow>& rows) override;
    bool menuOpen() const override { return open_; }

    QMenu* menu() const { return menu_.get(); }
    QSystemTrayIcon* icon() const { return icon_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void waitForTray();
    void showWhenTrayExists();
    void showIcon();
    void rebuildActions(const std::vector<MenuRow>& rows);

    std::unique_ptr<QMenu> menu_;
    QSystemTrayIcon* icon_ = nullptr;
    QTimer trayWait_;
    QDBusServiceWatcher* hostWatcher_ = nullptr;
    QIcon logoIcon_;
    std::vector<MenuRow> rows_;
    StatusItemDelegate* delegate_ = nullptr;
    QString tooltip_;
    bool open_ = false;
};

}  // namespace tavix
