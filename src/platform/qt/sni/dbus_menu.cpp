#include "platform/qt/sni/dbus_menu.h"

#include <QDBusError>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>

namespace tavix {
namespace {

const QString kType = QStringLiteral("type");
const QString kLabel = QStringLiteral("label");
const QString kEnabled = QStringLiteral("enabled");
const QString kToggleType = QStringLiteral("toggle-type");
const QString kToggleState = QStringLiteral("toggle-state");
const QString kIconData = QStringLiteral("icon-data");
const QString kIconName = QStringLiteral("icon-name");
const QString kChildrenDisplay = QStringLiteral("children-display");

// dbusmenu reads "_" as a mnemonic marker and "__" as an underscore; nothing else is special.
QString label(const std::string& title) {
    QString text = QString::fromStdString(title);
    text.replace(QLatin1Char('_'), QLatin1String("__"));
    return text;
}

// Rows of the same kind can take each other's place without a new layout.
bool sameKind(const MenuRow& a, const MenuRow& b) {
    return a.separator == b.separator && a.command == b.command && a.checked.has_value() == b.checked.has_value() &&
           a.logo == b.logo;
}

QVariantMap filtered(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) return properties;
    QVariantMap chosen;
    for (const QString& name : names) {
        const auto found = properties.constFind(name);
        if (found != properties.constEnd()) chosen.insert(name, *found);
    }
    return chosen;
}

const QVariantMap& rootProperties() {
    static const QVariantMap properties{{kChildrenDisplay, QStringLiteral("submenu")}};
    return properties;
}

}  // namespace

DBusMenu::DBusMenu(StatusItemDelegate& delegate, std::function<Logo()> logo, QObject* parent)
    : QObject(parent), delegate_(delegate), logo_(std::move(logo)) {
    registerDBusTypes();
}

QString DBusMenu::textDirection() const {
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
}

void DBusMenu::setRows(const std::vector<MenuRow>& rows) {
    // The rows come every few seconds, mostly unchanged: nothing to compare item by item then.
    if (rows == rows_) return;
    rows_ = rows;
    publish();
}

QVariantMap DBusMenu::propertiesOf(const MenuRow& row) const {
    if (row.separator) return {{kType, QStringLiteral("separator")}};
    QVariantMap properties{{kLabel, label(row.title)}, {kEnabled, row.enabled}};
    if (row.checked) {
        properties.insert(kToggleType, QStringLiteral("checkmark"));
        properties.insert(kToggleState, *row.checked ? 1 : 0);
    }
    // The logo is drawn when a host first asks for it, not before: a menu nobody opens never loads the fonts.
    if (row.logo && !drawnLogo_.png.isEmpty()) properties.insert(kIconData, drawnLogo_.png);
    if (row.logo && !drawnLogo_.iconName.isEmpty()) properties.insert(kIconName, drawnLogo_.iconName);
    return properties;
}

void DBusMenu::publish() {
    const bool sameLayout = rows_.size() == items_.size() &&
                            std::equal(rows_.begin(), rows_.end(), items_.begin(),
                                       [](const MenuRow& row, const Item& item) { return sameKind(row, item.row); });
    if (!sameLayout) {
        // Every item of a new layout has a new id. Hosts that match old ids with new places get it wrong
        // (GNOME's AppIndicator extension moves its rows in its model but not on screen); new ids are only ever
        // added, in order. A click on an item of an older layout finds nothing and runs nothing.
        items_.clear();
        items_.reserve(rows_.size());
        for (const MenuRow& row : rows_) items_.push_back({nextId_++, row, propertiesOf(row)});
        ++revision_;
        Q_EMIT LayoutUpdated(revision_, 0);
        return;
    }
    DBusMenuItemList updated;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Item& item = items_[i];
        item.row = rows_[i];
        const QVariantMap now = propertiesOf(item.row);
        if (now == item.properties) continue;
        QVariantMap changed;
        for (auto it = now.constBegin(); it != now.constEnd(); ++it) {
            if (item.properties.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
        }
        item.properties = now;
        updated.append({item.id, changed});
    }
    if (!updated.isEmpty()) Q_EMIT ItemsPropertiesUpdated(updated, {});
}

const DBusMenu::Item* DBusMenu::find(int id) const {
    const auto found = std::find_if(items_.begin(), items_.end(), [id](const Item& item) { return item.id == id; });
    return found != items_.end() ? &*found : nullptr;
}

void DBusMenu::drawLogo() {
    drawnLogo_ = logo_ ? logo_() : Logo();
    logoDrawn_ = true;
}

void DBusMenu::drawLogoFor(const QStringList& propertyNames) {
    if (logoDrawn_ ||
        (!propertyNames.isEmpty() && !propertyNames.contains(kIconData) && !propertyNames.contains(kIconName))) {
        return;
    }
    drawLogo();
    // The reply that asked for it carries it: no signal.
    for (Item& item : items_) {
        if (item.row.logo) item.properties = propertiesOf(item.row);
    }
}

void DBusMenu::fail(const QString& message) {
    if (calledFromDBus()) sendErrorReply(QDBusError::InvalidArgs, message);
}

uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, DBusMenuLayout& layout) {
    drawLogoFor(propertyNames);
    if (parentId == 0) {
        layout = {0, filtered(rootProperties(), propertyNames), {}};
        if (recursionDepth != 0) {
            for (const Item& item : items_)
                layout.children.append({item.id, filtered(item.properties, propertyNames), {}});
        }
    } else if (const Item* item = find(parentId)) {
        layout = {item->id, filtered(item->properties, propertyNames), {}};
    } else {
        fail(QStringLiteral("No menu item with id %1").arg(parentId));
    }
    return revision_;
}

DBusMenuItemList DBusMenu::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
    drawLogoFor(propertyNames);
    DBusMenuItemList found;
    if (ids.isEmpty()) {
        for (const Item& item : items_) found.append({item.id, filtered(item.properties, propertyNames)});
        return found;
    }
    // Ids a host no longer should know are left out, as the interface asks.
    for (int id : ids) {
        if (id == 0) {
            found.append({0, filtered(rootProperties(), propertyNames)});
        } else if (const Item* item = find(id)) {
            found.append({id, filtered(item->properties, propertyNames)});
        }
    }
    return found;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString& name) {
    drawLogoFor({name});
    const QVariantMap* properties = id == 0 ? &rootProperties() : nullptr;
    if (const Item* item = find(id)) properties = &item->properties;
    if (properties == nullptr || !properties->contains(name)) {
        fail(QStringLiteral("No property %1 on menu item %2").arg(name).arg(id));
        return QDBusVariant(QVariant(0));
    }
    return QDBusVariant(properties->value(name));
}

bool DBusMenu::aboutToShow() {
    const uint before = revision_;
    drawLogo();
    delegate_.menuWillOpen();
    // The delegate sets the rows it has; the logo may have changed all the same.
    publish();
    return revision_ != before;
}

bool DBusMenu::AboutToShow(int id) {
    if (!knownId(id)) {
        fail(QStringLiteral("No menu item with id %1").arg(id));
        return false;
    }
    return id == 0 && aboutToShow();
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    idErrors.clear();
    for (int id : ids) {
        if (!knownId(id)) idErrors.append(id);
    }
    if (ids.contains(0) && aboutToShow()) return {0};
    return {};
}

bool DBusMenu::handleEvent(int id, const QString& eventId) {
    const Item* item = find(id);
    if (item == nullptr) return id == 0;
    if (eventId != QLatin1String("clicked") || !item->row.command || !item->row.enabled) return true;
    // The host waits for this call to return before it closes its menu: a command that opens a window or asks a
    // question runs after that.
    const Command command = *item->row.command;
    QTimer::singleShot(0, this, [this, command] { delegate_.perform(command); });
    return true;
}

void DBusMenu::Event(int id, const QString& eventId, const QDBusVariant&, uint) {
    if (!handleEvent(id, eventId)) fail(QStringLiteral("No menu item with id %1").arg(id));
}

QList<int> DBusMenu::EventGroup(const DBusMenuEventList& events) {
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (!handleEvent(event.id, event.eventId)) idErrors.append(event.id);
    }
    return idErrors;
}

}  // namespace tavix
