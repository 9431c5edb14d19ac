#pragma once

#include <QByteArray>
#include <QDBusContext>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>

#include <functional>
#include <vector>

#include "platform/qt/sni/dbus_types.h"
#include "platform/status_item.h"

namespace tavix {

// The status menu as a com.canonical.dbusmenu object, which StatusNotifier hosts show themselves. The items are
// exactly the rows they are given. A change of rows that keeps their kinds changes the items in place and is
// announced with one ItemsPropertiesUpdated; any other change is a new layout revision, with new ids for all its
// items, and one LayoutUpdated.
// Both happen whether or not a host has said the menu is open: not every host says when it closes.
class DBusMenu final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath CONSTANT)

  public:
    // The header row's logo: a PNG, and the name of the same in the icon theme where it has it.
    struct Logo {
        QByteArray png;
        QString iconName;
    };
    // `logo` is called again each time the menu is about to show, so that a new logo file shows at the next opening.
    DBusMenu(StatusItemDelegate& delegate, std::function<Logo()> logo, QObject* parent = nullptr);

    void setRows(const std::vector<MenuRow>& rows);
    uint revision() const { return revision_; }

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // The com.canonical.dbusmenu methods.
  public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, tavix::DBusMenuLayout& layout);
    tavix::DBusMenuItemList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const tavix::DBusMenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

  Q_SIGNALS:
    void ItemsPropertiesUpdated(const tavix::DBusMenuItemList& updatedProps,
                                const tavix::DBusMenuItemKeysList& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

  private:
    struct Item {
        int id;
        MenuRow row;
        QVariantMap properties;  // as the hosts know them
    };

    void publish();
    QVariantMap propertiesOf(const MenuRow& row) const;
    const Item* find(int id) const;
    bool knownId(int id) const { return id == 0 || find(id) != nullptr; }
    void drawLogo();
    void drawLogoFor(const QStringList& propertyNames);
    // Refreshes the rows; true when that changed the layout.
    bool aboutToShow();
    // False for an unknown id; a click on an enabled row runs its command once the host's call has returned.
    bool handleEvent(int id, const QString& eventId);
    void fail(const QString& message);

    StatusItemDelegate& delegate_;
    std::function<Logo()> logo_;
    Logo drawnLogo_;
    bool logoDrawn_ = false;
    std::vector<MenuRow> rows_;
    std::vector<Item> items_;
    uint revision_ = 0;
    int nextId_ = 1;
};

}  // namespace tavix
