#include "platform/qt/sni/status_notifier_item.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "platform/qt/desktop_window.h"

namespace tavix {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kWatcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

}  // namespace

StatusNotifierItem::StatusNotifierItem(QString title, QDBusObjectPath menu, std::function<Icon()> icon,
                                       std::function<void()> activate, QObject* parent)
    : QObject(parent),
      title_(std::move(title)),
      menu_(std::move(menu)),
      makeIcon_(std::move(icon)),
      activate_(std::move(activate)) {
    registerDBusTypes();
}

const StatusNotifierItem::Icon& StatusNotifierItem::icon() const {
    // Drawn when a panel first asks: the icon does not depend on anything that changes.
    if (!icon_) icon_ = makeIcon_ ? makeIcon_() : Icon{};
    return *icon_;
}

void StatusNotifierItem::setToolTip(const QString& title) {
    if (title == toolTip_) return;
    toolTip_ = title;
    Q_EMIT NewToolTip();
}

void StatusNotifierItem::Activate(int, int) {
    // A host that opens the exported menu itself never calls this; one that ignores ItemIsMenu gets the window.
    if (activate_) activate_();
}

// The host shows the exported menu itself.
void StatusNotifierItem::ContextMenu(int, int) {}
void StatusNotifierItem::SecondaryActivate(int, int) {}
void StatusNotifierItem::Scroll(int, const QString&) {}

void StatusNotifierItem::ProvideXdgActivationToken(const QString& token) {
    offerActivationToken(token);
}

StatusNotifierRegistration::StatusNotifierRegistration(QDBusConnection bus, QString item, QObject* parent)
    : QObject(parent),
      bus_(std::move(bus)),
      item_(std::move(item)),
      ownerWatcher_(kWatcherService, bus_, QDBusServiceWatcher::WatchForOwnerChange) {
    retry_.setSingleShot(true);
    retry_.setInterval(1000);
    connect(&retry_, &QTimer::timeout, this, &StatusNotifierRegistration::check);
    connect(&ownerWatcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& owner) { ownerChanged(owner); });
}

void StatusNotifierRegistration::start() {
    if (!bus_.isConnected()) return;
    bus_.connect(kWatcherService, kWatcherPath, kWatcherInterface, QStringLiteral("StatusNotifierHostRegistered"), this,
                 SLOT(hostRegistered()));
    const QDBusReply<QString> owner = bus_.interface()->serviceOwner(kWatcherService);
    if (owner.isValid()) ownerChanged(owner.value());
}

void StatusNotifierRegistration::hostRegistered() {
    check();
}

void StatusNotifierRegistration::ownerChanged(const QString& owner) {
    if (owner == owner_) return;
    owner_ = owner;
    // A new watcher knows nothing of us.
    registered_ = false;
    retry_.stop();
    Q_EMIT changed();
    check();
}

void StatusNotifierRegistration::setRegistered(bool registered) {
    if (registered == registered_) return;
    registered_ = registered;
    Q_EMIT changed();
}

void StatusNotifierRegistration::check() {
    if (owner_.isEmpty()) return;
    if (checking_) {
        recheck_ = true;
        return;
    }
    checking_ = true;
    recheck_ = false;
    const QString owner = owner_;
    const auto done = [this, owner](bool registered) {
        checking_ = false;
        if (owner != owner_) {
            check();
            return;
        }
        setRegistered(registered);
        // Something happened while we asked (a host registered): ask again, without registering twice.
        if (recheck_) {
            check();
        } else if (!registered) {
            retry_.start();
        }
    };

    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({kWatcherInterface, QStringLiteral("IsStatusNotifierHostRegistered")});
    auto* asked = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
    connect(asked, &QDBusPendingCallWatcher::finished, this, [this, done](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *call;
        const bool host = !reply.isError() && reply.value().variant().toBool();
        if (!host || registered_) {
            done(host && registered_);
            return;
        }
        QDBusMessage add = QDBusMessage::createMethodCall(kWatcherService, kWatcherPath, kWatcherInterface,
                                                          QStringLiteral("RegisterStatusNotifierItem"));
        add.setArguments({item_});
        auto* registering = new QDBusPendingCallWatcher(bus_.asyncCall(add), this);
        connect(registering, &QDBusPendingCallWatcher::finished, this, [done](QDBusPendingCallWatcher* added) {
            added->deleteLater();
            done(!added->isError());
        });
    });
}

}  // namespace tavix
