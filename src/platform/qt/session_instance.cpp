#include "platform/qt/session_instance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include "platform/qt/desktop_window.h"

namespace tavix {
namespace {

const QString kInterface = QStringLiteral("org.freedesktop.Application");

// What a launcher handed this start for raising a window: an xdg-activation token on Wayland, a startup
// notification id on X11. The running copy needs it, not us.
QVariantMap ownPlatformData() {
    QVariantMap data;
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty()) {
        data.insert(QStringLiteral("activation-token"), token);
    }
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty()) {
        data.insert(QStringLiteral("desktop-startup-id"), id);
    }
    return data;
}

// The launcher's token, for the window that comes forward: "activation-token", or from launchers that predate it
// "desktop-startup-id" (on X11 a startup notification id, which nothing there takes as a token).
void offerLauncherToken(const QVariantMap& platformData) {
    QString token = platformData.value(QStringLiteral("activation-token")).toString();
    if (token.isEmpty()) token = platformData.value(QStringLiteral("desktop-startup-id")).toString();
    offerActivationToken(token);
}

}  // namespace

InstanceClaim SessionInstance::claim(ApplicationDelegate& delegate, const std::optional<std::string>& action) {
    if (!bus_) bus_ = QDBusConnection::sessionBus();
    QDBusConnection& bus = *bus_;
    if (!bus.isConnected() || bus.interface() == nullptr) return InstanceClaim::unavailable;
    delegate_ = &delegate;
    // The object first: a copy started the moment the name appears must find someone to answer it.
    if (!bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAllSlots)) {
        return InstanceClaim::unavailable;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(QString::fromLatin1(kService), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) return InstanceClaim::claimed;
    bus.unregisterObject(QString::fromLatin1(kPath));
    delegate_ = nullptr;
    // A bus that will not let us own the name at all (a strict policy) cannot keep copies apart: use the lock.
    if (!reply.isValid()) return InstanceClaim::unavailable;

    QDBusMessage activate =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath), kInterface,
                                       action ? QStringLiteral("ActivateAction") : QStringLiteral("Activate"));
    if (action) activate << QString::fromStdString(*action) << QVariantList{};
    activate << ownPlatformData();
    const QDBusMessage answer = bus.call(activate, QDBus::Block, 10000);
    if (answer.errorName() == QLatin1String("org.freedesktop.DBus.Error.AccessDenied")) {
        // The running copy will not run the action now, and says why.
        qWarning("Tavix Link: %s", qPrintable(answer.errorMessage()));
    } else if (answer.type() == QDBusMessage::ErrorMessage) {
        qWarning("Tavix Link is already running but did not answer: %s", qPrintable(answer.errorMessage()));
    }
    return InstanceClaim::another;
}

void SessionInstance::Activate(const QVariantMap& platformData) {
    if (delegate_ == nullptr) return;
    offerLauncherToken(platformData);
    delegate_->reopen();
}

void SessionInstance::Open(const QStringList&, const QVariantMap& platformData) {
    // There are no documents to open: an open request brings the window forward like a plain start.
    Activate(platformData);
}

void SessionInstance::ActivateAction(const QString& name, const QVariantList&, const QVariantMap& platformData) {
    if (delegate_ == nullptr) return;
    offerLauncherToken(platformData);
    // A command that may not run now does nothing, and the caller learns why.
    if (const std::optional<ActionRefusal> refusal = delegate_->activateAction(name.toStdString())) {
        sendErrorReply(refusal->unknown ? QDBusError::InvalidArgs : QDBusError::AccessDenied,
                       QString::fromStdString(refusal->reason));
    }
}

}  // namespace tavix
