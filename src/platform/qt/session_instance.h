#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>
#include <string>

#include "platform/application.h"

namespace tavix {

// One running copy per user session: the copy that owns "app.tavix.menu" on the session bus answers
// org.freedesktop.Application at /app/tavix/menu (as GApplication and KDBusService do); a later start finds the
// name taken, asks that copy to come forward and ends.
class SessionInstance final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
  public:
    static constexpr const char* kService = "app.tavix.menu";
    static constexpr const char* kPath = "/app/tavix/menu";

    // On `bus`, or on the session bus, which is then first reached when claiming.
    explicit SessionInstance(std::optional<QDBusConnection> bus = std::nullopt) : bus_(std::move(bus)) {}
    // When another copy owns the name, it is asked to come forward, or to run `action`.
    InstanceClaim claim(ApplicationDelegate& delegate, const std::optional<std::string>& action = std::nullopt);

  public Q_SLOTS:
    void Activate(const QVariantMap& platformData);
    void Open(const QStringList& uris, const QVariantMap& platformData);
    void ActivateAction(const QString& name, const QVariantList& parameter, const QVariantMap& platformData);

  private:
    std::optional<QDBusConnection> bus_;
    ApplicationDelegate* delegate_ = nullptr;
};

}  // namespace tavix
