#include "platform/qt/tray_item.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProxyStyle>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QtEndian>

#include <algorithm>

#include "platform/qt/artwork.h"
#include "platform/qt/menu_bar_icon.h"
#include "platform/qt/sni/dbus_menu.h"
#include "platform/qt/sni/status_notifier_item.h"
#include "platform/qt/tray_host.h"

namespace tavix {
namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kSymbolicIcon = QStringLiteral("app.tavix.menu-symbolic");
const QString kAppIcon = QStringLiteral("app.tavix.menu");
constexpr int kXEmbedPollMs = 500;
// A panel that offers both kinds of tray (XFCE) brings up its StatusNotifier watcher moments after its XEmbed tray.
constexpr qint64 kXEmbedGraceMs = 1500;

// The program's own icon folder: share/icons beside its bin folder, in the build tree as once installed.
QString iconThemePath() {
    const QString folder = QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    return QFile::exists(folder + QStringLiteral("/hicolor/scalable/apps/") + kSymbolicIcon + QStringLiteral(".svg"))
               ? folder
               : QString();
}

// For panels that do not find the themed icon: the drawing that reads on any background, square sizes only.
StatusNotifierItem::Icon itemIcon() {
    StatusNotifierItem::Icon icon{kSymbolicIcon, iconThemePath(), {}};
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        const QImage image = menuBarLogoImage(size, std::nullopt);
        QByteArray pixels(qsizetype(size) * size * 4, Qt::Uninitialized);
        auto* out = reinterpret_cast<uchar*>(pixels.data());
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x, out += 4) qToBigEndian<quint32>(image.pixel(x, y), out);
        }
        icon.images.append({size, size, pixels});
    }
    return icon;
}

// The header row's logo, 17 units. As a PNG at twice that, or at our pixel ratio when higher: hosts scale a picture
// down well and up badly, and the panel's scale need not be ours. By name too where the desktop's icon theme has the
// application's icon (unless a Tavix.png replaces the logo): GTK's menus draw a PNG at one pixel per unit whatever
// the scale, a themed icon at the scale.
DBusMenu::Logo menuLogo() {
    const qreal ratio = std::max(2.0, qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0);
    DBusMenu::Logo drawn;
    QBuffer buffer(&drawn.png);
    if (!buffer.open(QIODevice::WriteOnly) || !logo(17, ratio).save(&buffer, "PNG")) drawn.png.clear();
    const QString themed = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                  QStringLiteral("icons/hicolor/48x48/apps/") + kAppIcon + ".png");
    if (!themed.isEmpty() && !logoReplaced()) drawn.iconName = kAppIcon;
    return drawn;
}

// Menu texts treat "&" as a mnemonic marker and a tab as the start of a shortcut.
QString menuText(const std::string& title) {
    QString text = QString::fromStdString(title);
    text.replace(QLatin1Char('&'), QLatin1String("&&"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

// The header row's logo is 17 pixels, one more than the small icons a menu shows by default.
class MenuStyle final : public QProxyStyle {
  public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        return metric == PM_SmallIconSize ? 17 : QProxyStyle::pixelMetric(metric, option, widget);
    }
};

bool sameShape(const QList<QAction*>& actions, const std::vector<MenuRow>& rows) {
    if (actions.size() != static_cast<qsizetype>(rows.size())) return false;
    for (qsizetype i = 0; i < actions.size(); ++i) {
        if (actions[i]->isSeparator() != rows[static_cast<std::size_t>(i)].separator) return false;
    }
    return true;
}

}  // namespace

TrayItem::TrayItem(QDBusConnection bus) : bus_(std::move(bus)) {
    xembedWait_.setInterval(kXEmbedPollMs);
    connect(&xembedWait_, &QTimer::timeout, this, &TrayItem::settle);
}

TrayItem::~TrayItem() {
    if (!service_.isEmpty()) {
        bus_.unregisterObject(kItemPath);
        bus_.unregisterObject(kMenuPath);
        if (service_ != bus_.baseService()) bus_.unregisterService(service_);
    }
}

void TrayItem::create(const std::string& accessibleName, StatusItemDelegate& delegate) {
    delegate_ = &delegate;
    const QString title = QString::fromStdString(accessibleName);
    menu_ = std::make_unique<QMenu>();
    auto* style = new MenuStyle;
    style->setParent(menu_.get());
    menu_->setStyle(style);
    menu_->setTitle(title);
    menu_->setAccessibleName(title);
    // Drawn when the menu first shows it. The header row is an information row (disabled); its logo keeps its
    // colours all the same.
    logoIcon_ = logoIcon();
    connect(menu_.get(), &QMenu::aboutToShow, this, [this] { delegate_->menuWillOpen(); });
    // Rows that changed shape while the menu was on screen.
    connect(menu_.get(), &QMenu::aboutToHide, this, [this] { QTimer::singleShot(0, this, &TrayItem::applyRows); });

    if (bus_.isConnected()) exportItem(title);
    // A desktop already running with an XEmbed tray and no StatusNotifier watcher gets its icon at once.
    if ((registration_ == nullptr || !registration_->watcherPresent()) && xembedTrayPresent()) {
        showXEmbed();
    } else {
        settle();
    }
}

void TrayItem::exportItem(const QString& title) {
    // The name keeps Qt's own tray backend from ever registering a second item under it.
    service_ = QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid());
    if (!bus_.registerService(service_)) service_ = bus_.baseService();
    dbusMenu_ = new DBusMenu(*delegate_, &menuLogo, this);
    item_ = new StatusNotifierItem(
        title, QDBusObjectPath(kMenuPath), &itemIcon,
        [this] {
            // A host that ignores ItemIsMenu: the settings window, once the host's call has returned.
            QTimer::singleShot(0, this, [this] { delegate_->perform(Command::showSettings); });
        },
        this);
    const auto exported =
        QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals | QDBusConnection::ExportAllProperties;
    bus_.registerObject(kMenuPath, dbusMenu_, exported);
    bus_.registerObject(kItemPath, item_, exported);
    item_->setToolTip(tooltip_);
    dbusMenu_->setRows(rows_);
    // Registered by its object path, which every watcher takes as an item on the caller's connection. Registered
    // by a well-known name, GNOME's AppIndicator extension watches that name as well, and when the name's first
    // report reaches it after the item's properties it forgets the item's Id and Menu and drops the icon.
    registration_ = new StatusNotifierRegistration(bus_, kItemPath, this);
    connect(registration_, &StatusNotifierRegistration::changed, this, &TrayItem::settle);
    registration_->start();
}

bool TrayItem::shown() const {
    return (registration_ != nullptr && registration_->registered()) || (xembed_ != nullptr && xembedTrayPresent());
}

void TrayItem::settle() {
    if (registration_ != nullptr && registration_->registered()) {
        xembedWait_.stop();
        hideXEmbed();
        return;
    }
    if (xembed_ != nullptr) return;  // Qt keeps it docked, also in a tray that restarts
    // Qt picks its tray backend once, at the first icon: that must be while no watcher is there, or it would go for
    // a StatusNotifier item of its own. The registration calls again when the watcher comes or goes.
    const bool x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>() != nullptr;
    if (!x11 || (registration_ != nullptr && registration_->watcherPresent())) {
        xembedWait_.stop();
        xembedSeen_.invalidate();
        return;
    }
    if (!xembedTrayPresent()) {
        xembedSeen_.invalidate();
        xembedWait_.start();
        return;
    }
    if (!xembedSeen_.isValid()) xembedSeen_.start();
    if (xembedSeen_.elapsed() < kXEmbedGraceMs) {
        xembedWait_.start();
        return;
    }
    showXEmbed();
}

void TrayItem::showXEmbed() {
    xembedWait_.stop();
    xembedColour_ = trayForeground();
    xembed_ = new QSystemTrayIcon(menuBarLogo(xembedColour_), this);
    xembed_->setToolTip(tooltip_);
    xembed_->setContextMenu(menu_.get());
    connect(xembed_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // A left click opens the same menu as a right click.
        if (reason == QSystemTrayIcon::Trigger && !menu_->isVisible()) menu_->popup(QCursor::pos());
    });
    colourWatch_ = std::make_unique<TrayColourWatch>([this] { updateXEmbedColour(); });
    xembed_->show();
}

void TrayItem::hideXEmbed() {
    if (xembed_ == nullptr) return;
    colourWatch_.reset();
    xembed_->hide();
    delete xembed_;
    xembed_ = nullptr;
}

void TrayItem::updateXEmbedColour() {
    const std::optional<QColor> colour = trayForeground();
    // Trays redraw (and some grow the slot) on every new icon: only when the colour changed.
    if (xembed_ == nullptr || colour == xembedColour_) return;
    xembedColour_ = colour;
    xembed_->setIcon(menuBarLogo(colour));
}

void TrayItem::setTooltip(const std::string& text) {
    const QString tooltip = QString::fromStdString(text);
    if (tooltip == tooltip_) return;
    tooltip_ = tooltip;
    if (item_ != nullptr) item_->setToolTip(tooltip_);
    if (xembed_ != nullptr) xembed_->setToolTip(tooltip_);
}

void TrayItem::setMenu(const std::vector<MenuRow>& rows) {
    if (rows == rows_) return;
    rows_ = rows;
    if (dbusMenu_ != nullptr) dbusMenu_->setRows(rows_);
    applyRows();
}

void TrayItem::applyRows() {
    if (!menu_ || rows_ == menuRows_) return;
    // Rows that keep their shape change in place, also on screen; a new shape waits until the menu has closed.
    if (menu_->isVisible() && !sameShape(menu_->actions(), rows_)) return;
    rebuildActions(rows_);
    menuRows_ = rows_;
}

void TrayItem::rebuildActions(const std::vector<MenuRow>& rows) {
    QList<QAction*> actions = menu_->actions();
    if (!sameShape(actions, rows)) {
        menu_->clear();
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].separator) {
                menu_->addSeparator();
                continue;
            }
            QAction* action = menu_->addAction(QString());
            connect(action, &QAction::triggered, this, [this, i] {
                if (i >= menuRows_.size() || !menuRows_[i].command) return;
                // Let the menu finish closing before a command opens a dialog of its own.
                const Command command = *menuRows_[i].command;
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
        // Setting an icon always announces a change: only when it differs.
        if (action->icon().isNull() == row.logo) action->setIcon(row.logo ? logoIcon_ : QIcon());
        action->setIconVisibleInMenu(row.logo);
    }
}

}  // namespace tavix
