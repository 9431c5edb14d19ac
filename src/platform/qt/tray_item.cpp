#include "platform/qt/tray_item.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QEvent>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/qt/artwork.h"
#include "platform/qt/tray_host.h"

namespace tavix {
namespace {

// Drawn in the panel's text colour: the one the tray asks for, else the desktop palette's.
QIcon trayIcon() {
    return menuBarLogo(trayForeground().value_or(QGuiApplication::palette().color(QPalette::WindowText)));
}

// Menu texts treat "&" as a mnemonic marker and a tab as the start of a shortcut.
QString menuText(const std::string& title) {
    QString text = QString::fromStdString(title);
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

}  // namespace

TrayItem::TrayItem() {
    trayWait_.setInterval(1000);
    connect(&trayWait_, &QTimer::timeout, this, &TrayItem::showWhenTrayExists);
}

TrayItem::~TrayItem() {
    if (qApp != nullptr) qApp->removeEventFilter(this);
}

void TrayItem::create(const std::string& accessibleName, StatusItemDelegate& delegate) {
    delegate_ = &delegate;
    menu_ = std::make_unique<QMenu>();
    menu_->setTitle(QString::fromStdString(accessibleName));
    menu_->setAccessibleName(QString::fromStdString(accessibleName));
    // Drawn when the menu first shows it. The header row is an information row (disabled); its logo keeps its
    // colours all the same.
    logoIcon_ = logoIcon();

    connect(menu_.get(), &QMenu::aboutToShow, this, [this] {
        open_ = false;
        delegate_->menuWillOpen();
        open_ = true;
    });
    connect(menu_.get(), &QMenu::aboutToHide, this, [this] { open_ = false; });

    showWhenTrayExists();
    if (icon_ == nullptr) waitForTray();
}

void TrayItem::waitForTray() {
    // A StatusNotifier host may register after us (login): react at once rather than at the next poll.
    hostWatcher_ =
        new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), QDBusConnection::sessionBus(),
                                QDBusServiceWatcher::WatchForRegistration, this);
    connect(hostWatcher_, &QDBusServiceWatcher::serviceRegistered, this, &TrayItem::showWhenTrayExists);
    trayWait_.start();
}

void TrayItem::showWhenTrayExists() {
    if (icon_ != nullptr || !trayHostPresent()) return;
    trayWait_.stop();
    // Qt follows the tray from here on; the watcher may be the one calling.
    if (hostWatcher_ != nullptr) hostWatcher_->deleteLater();
    hostWatcher_ = nullptr;
    showIcon();
}

void TrayItem::showIcon() {
    icon_ = new QSystemTrayIcon(trayIcon(), this);
    icon_->setToolTip(tooltip_);
    icon_->setContextMenu(menu_.get());
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left click opens the same menu as a right click.
        if (reason == QSystemTrayIcon::Trigger && !menu_->isVisible()) menu_->popup(QCursor::pos());
    });
    // Tray hosts redraw (and some grow the slot) on every new icon: set it again only when the palette changes.
    qApp->installEventFilter(this);
    icon_->show();
}

bool TrayItem::eventFilter(QObject* watched, QEvent* event) {
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange && icon_ != nullptr) {
        icon_->setIcon(trayIcon());
    }
    return QObject::eventFilter(watched, event);
}

void TrayItem::setTooltip(const std::string& text) {
    QString tooltip = QString::fromStdString(text);
    if (tooltip == tooltip_) return;
    tooltip_ = tooltip;
    if (icon_ != nullptr) icon_->setToolTip(tooltip_);
}

void TrayItem::setMenu(const std::vector<MenuRow>& rows) {
    if (!menu_ || rows == rows_) return;
    rebuildActions(rows);
    rows_ = rows;
}

void TrayItem::rebuildActions(const std::vector<MenuRow>& rows) {
    QList<QAction*> actions = menu_->actions();
    bool sameShape = actions.size() == static_cast<qsizetype>(rows.size());
    for (qsizetype i = 0; sameShape && i < actions.size(); ++i) {
        sameShape = actions[i]->isSeparator() == rows[static_cast<std::size_t>(i)].separator;
    }
    // Rows that keep their places are updated in place: no flicker, and an open host menu keeps its items.
    if (!sameShape) {
        menu_->clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].separator) {
                menu_->addSeparator();
                continue;
            }
            QAction* action = menu_->addAction(QString());
            connect(action, &QAction::triggered, this, [this, i] {
                if (i >= rows_.size() || !rows_[i].command) return;
                // Let the menu finish closing before a command opens a dialog of its own.
                const Command command = *rows_[i].command;
                QTimer::singleShot(0, this, [this, command] { delegate_->perform(command); });
            });
        }
        actions = menu_->actions();
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MenuRow& row = rows[i];
        if (row.separator) continue;
        QAction* action = actions[static_cast<qsizetype>(i)];
        action->setText(menuText(row.title));
        action->setEnabled(row.enabled);
        action->setCheckable(row.checked.has_value());
        action->setChecked(row.checked.value_or(false));
        // Setting an icon always announces a change (a tray host then re-sends the item): only when it differs.
        if (action->icon().isNull() == row.logo) action->setIcon(row.logo ? logoIcon_ : QIcon());
        action->setIconVisibleInMenu(row.logo);
    }
}

}  // namespace tavix
