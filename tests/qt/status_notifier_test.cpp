// The tray item and its menu on a private session bus, against a strict panel of our own: a watcher that only takes
// items while it says a host is registered, and a host that reads everything through D-Bus and counts the signals.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QImage>

#include <functional>

#include <gtest/gtest.h>

#include "platform/qt/desktop_window.h"
#include "platform/qt/sni/dbus_menu.h"
#include "platform/qt/sni/dbus_types.h"
#include "platform/qt/tray_item.h"
#include "private_bus.h"
#include "support/menu_rows.h"
#include "support/temp_dir.h"

namespace tavix {
namespace {

using test::kTrayRows;
using test::row;

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItem = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenu = QStringLiteral("com.canonical.dbusmenu");

bool waitFor(const std::function<bool()>& done, int milliseconds = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < milliseconds) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
// Lets the events of `milliseconds` run.
void settle(int milliseconds) {
    waitFor([] { return false; }, milliseconds);
}

class Watcher final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER host)

  public:
    Watcher(QDBusConnection bus, bool hostRegistered) : host(hostRegistered), bus_(std::move(bus)) {
        bus_.registerObject(QStringLiteral("/StatusNotifierWatcher"), this, QDBusConnection::ExportAllContents);
        bus_.registerService(kWatcher);
    }
    ~Watcher() override { stop(); }
    void stop() { bus_.unregisterService(kWatcher); }
    void hostArrives() {
        host = true;
        Q_EMIT StatusNotifierHostRegistered();
    }

    bool host;
    QStringList items;  // as "caller argument"
    int refused = 0;

  public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& item) {
        host ? void(items.append(message().service() + ' ' + item)) : void(++refused);
    }

  Q_SIGNALS:
    void StatusNotifierHostRegistered();

  private:
    QDBusConnection bus_;
};

// The panel's side: reads through D-Bus, counts what the item and its menu announce.
class Host final : public QObject {
    Q_OBJECT
  public:
    Host(QDBusConnection bus, QString service) : bus_(std::move(bus)), service_(std::move(service)) {
        for (const char* name : {"NewToolTip", "NewIcon", "NewTitle", "NewStatus"})
            bus_.connect(service_, QStringLiteral("/StatusNotifierItem"), kItem, QLatin1String(name), this,
                         SLOT(seen(QDBusMessage)));
        for (const char* name : {"LayoutUpdated", "ItemsPropertiesUpdated"})
            bus_.connect(service_, QStringLiteral("/MenuBar"), kMenu, QLatin1String(name), this,
                         SLOT(seen(QDBusMessage)));
    }

    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, path, interface, method);
        message.setArguments(arguments);
        // The item answers from this thread: keep its events running while waiting.
        return bus_.call(message, QDBus::BlockWithGui, 5000);
    }
    QDBusMessage menu(const QString& method, const QVariantList& arguments = {}) {
        return call(QStringLiteral("/MenuBar"), kMenu, method, arguments);
    }
    QVariant property(const QString& name) {
        const QDBusMessage reply =
            call(QStringLiteral("/StatusNotifierItem"), QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("Get"), {kItem, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    // What was announced since the last call; signals sent before a reply arrive before it.
    QStringList announced() {
        call(QStringLiteral("/"), QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
        QCoreApplication::processEvents();
        return std::exchange(signals_, {});
    }
    QDBusMessage lastUpdate;  // the last ItemsPropertiesUpdated

    std::pair<uint, DBusMenuLayout> layout() {
        const QDBusMessage reply = menu(QStringLiteral("GetLayout"), {0, -1, QStringList()});
        DBusMenuLayout layout;
        reply.arguments().value(1).value<QDBusArgument>() >> layout;
        return {reply.arguments().value(0).toUInt(), layout};
    }

  private Q_SLOTS:
    void seen(const QDBusMessage& message) {
        signals_.append(message.member());
        if (message.member() == QLatin1String("ItemsPropertiesUpdated")) lastUpdate = message;
    }

  private:
    QDBusConnection bus_;
    QString service_;
    QStringList signals_;
};

// One panel with its watcher and host, and the item under test.
struct Desktop : test::OnPrivateBus {
    void SetUp() override {
        registerDBusTypes();
        OnPrivateBus::SetUp();
        if (IsSkipped()) return;
        app = bus.connect(QStringLiteral("app"));
        item = std::make_unique<TrayItem>(app);
    }
    void start(bool hostRegistered = true) {
        watcher = std::make_unique<Watcher>(bus.connect(QStringLiteral("watcher")), hostRegistered);
        item->create("Tavix Link", delegate);
        host = std::make_unique<Host>(bus.connect(QStringLiteral("host")), item->serviceName());
        item->setMenu(kTrayRows);
        ASSERT_TRUE(waitFor([&] { return !watcher->items.isEmpty() || !hostRegistered; }));
        // As a panel does once an item registers.
        host->layout();
        host->announced();
    }
    int idOf(const QString& label) {
        for (const DBusMenuLayout& child : host->layout().second.children)
            if (child.properties.value(QStringLiteral("label")).toString() == label) return child.id;
        return -1;
    }
    QList<int> ids() {
        QList<int> ids;
        for (const DBusMenuLayout& child : host->layout().second.children) ids.append(child.id);
        return ids;
    }

    test::RecordingDelegate delegate;
    QDBusConnection app{QString()};
    std::unique_ptr<TrayItem> item;
    std::unique_ptr<Watcher> watcher;
    std::unique_ptr<Host> host;
};

TEST_F(Desktop, RegistersOnceAHostIsThereAndAgainWithEachNewWatcher) {
    start(/*hostRegistered=*/false);
    settle(1500);
    EXPECT_TRUE(watcher->items.isEmpty());
    EXPECT_EQ(watcher->refused, 0) << "asked a watcher without a host";
    EXPECT_FALSE(item->shown());

    QElapsedTimer since;
    since.start();
    watcher->hostArrives();
    ASSERT_TRUE(waitFor([&] { return item->shown(); }));
    EXPECT_LT(since.elapsed(), 2000);
    // By its path on its own connection: a well-known name would have GNOME's AppIndicator extension watch the
    // name as well, which loses the item when the name's first report comes after the item's properties.
    EXPECT_EQ(watcher->items, QStringList{app.baseService() + QStringLiteral(" /StatusNotifierItem")});

    // The panel restarts: its watcher goes, a new one comes and knows nothing of the item; its host registers
    // moments later, while the item is still asking (waybar).
    watcher->stop();
    ASSERT_TRUE(waitFor([&] { return !item->shown(); }));
    Watcher restarted(bus.connect(QStringLiteral("watcher2")), false);
    restarted.hostArrives();
    ASSERT_TRUE(waitFor([&] { return item->shown(); }));
    settle(300);
    EXPECT_EQ(restarted.items, watcher->items) << "registered once";
}

TEST_F(Desktop, ItemPropertiesAndOneSignalPerChange) {
    start();
    const std::pair<const char*, QVariant> expected[] = {
        {"Id", QStringLiteral("app.tavix.menu")},
        {"Title", QStringLiteral("Tavix Link")},
        {"Category", QStringLiteral("ApplicationStatus")},
        {"Status", QStringLiteral("Active")},
        {"ItemIsMenu", true},
        {"IconName", QStringLiteral("app.tavix.menu-symbolic")},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(host->property(QLatin1String(name)), value) << name;
    EXPECT_EQ(host->property(QStringLiteral("Menu")).value<QDBusObjectPath>().path(), QStringLiteral("/MenuBar"));

    DBusImageList images;
    host->property(QStringLiteral("IconPixmap")).value<QDBusArgument>() >> images;
    QList<int> widths;
    for (const DBusImage& image : images) widths.append(image.width);
    // Every slot size a panel asks for, up to twice the largest at scale 2: hosts scale down well, up badly.
    EXPECT_EQ(widths, (QList<int>{16, 22, 24, 32, 48, 64, 128}));
    for (const DBusImage& image : images) {
        EXPECT_EQ(image.width, image.height) << "square, so no panel stretches it";
        ASSERT_EQ(image.pixels.size(), qsizetype(image.width) * image.height * 4);
        // ARGB in network byte order: the first byte of each pixel is its alpha.
        int opaque = 0;
        for (qsizetype i = 0; i < image.pixels.size(); i += 4) opaque += uchar(image.pixels[i]) == 255;
        EXPECT_GT(opaque, image.width * image.height / 5) << image.width;
    }

    struct Step {
        const char* tooltip;
        QStringList announced;
    } steps[] = {
        {"Tavix Link · Not paired", {QStringLiteral("NewToolTip")}},
        {"Tavix Link · Not paired", {}},
        {"Tavix Link · Connected", {QStringLiteral("NewToolTip")}},
    };
    for (const Step& step : steps) {
        item->setTooltip(step.tooltip);
        EXPECT_EQ(host->announced(), step.announced) << step.tooltip;
        DBusToolTip tip;
        host->property(QStringLiteral("ToolTip")).value<QDBusArgument>() >> tip;
        EXPECT_EQ(tip.title, QString::fromUtf8(step.tooltip));
    }
}

TEST_F(Desktop, MenuRowsAsTheyStandWithARevisionPerNewLayout) {
    start();
    auto rows = kTrayRows;
    const auto [revision, layout] = host->layout();
    ASSERT_EQ(layout.children.size(), qsizetype(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QVariantMap& p = layout.children[qsizetype(i)].properties;
        const MenuRow& r = rows[i];
        SCOPED_TRACE(r.title);
        EXPECT_EQ(p.value(QStringLiteral("type")).toString(), r.separator ? "separator" : "");
        if (r.separator) continue;
        EXPECT_EQ(p.value(QStringLiteral("label")).toString(), QString::fromStdString(r.title).replace("_", "__"));
        EXPECT_EQ(p.value(QStringLiteral("enabled")).toBool(), r.enabled);
        EXPECT_EQ(p.value(QStringLiteral("toggle-type")).toString(), r.checked ? "checkmark" : "");
        EXPECT_EQ(p.value(QStringLiteral("toggle-state"), -1).toInt(), r.checked ? int(*r.checked) : -1);
        // Twice its 17 units: sharp on a panel at scale 2 whatever the program's own scale.
        const QImage logo = QImage::fromData(p.value(QStringLiteral("icon-data")).toByteArray(), "PNG");
        EXPECT_EQ(logo.size(), r.logo ? QSize(34, 34) : QSize(0, 0));
    }

    // Rows change on a refresh, or when the host opens the menu (which must say whether to read the layout again).
    auto flags = kTrayRows;
    flags[0].title = "Tavix Link · Paused";
    flags[4].enabled = true;
    flags[5].checked = false;
    auto longer = flags, renamed = flags;
    longer.insert(longer.begin() + 2, row("Working…", {}, false));
    renamed[1].title = "other.example";
    const struct {
        const char* what;
        std::vector<MenuRow> rows;
        bool onOpening;
        const char* announced;
        uint revisions;
    } changes[] = {
        {"nothing", kTrayRows, false, "", 0},
        {"nothing, opening", kTrayRows, true, "", 0},
        {"texts and flags", flags, false, "ItemsPropertiesUpdated", 0},
        {"a row more", longer, false, "LayoutUpdated", 1},
        {"a row less, opening", flags, true, "LayoutUpdated", 1},
        {"a text, opening", renamed, true, "ItemsPropertiesUpdated", 0},
    };
    uint now = revision;
    DBusMenuItemList flagsChanged;
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        const QList<int> before = ids();
        rows = c.rows;
        int opened = 0;
        delegate.onOpen = [&] {
            ++opened;
            item->setMenu(rows);
        };
        if (c.onOpening) {
            EXPECT_EQ(host->menu(QStringLiteral("AboutToShow"), {0}).arguments().value(0).toBool(), c.revisions > 0);
            EXPECT_EQ(opened, 1);
        } else {
            item->setMenu(rows);
        }
        EXPECT_EQ(host->announced().join(","), QLatin1String(c.announced));
        now += c.revisions;
        EXPECT_EQ(host->layout().first, now);
        // Items change in place; a new layout has new ids only, which no host can match with old places.
        const QList<int> after = ids();
        for (int id : after) EXPECT_EQ(before.contains(id), c.revisions == 0) << id;
        EXPECT_TRUE(c.revisions > 0 || after == before);
        if (c.what == std::string_view("texts and flags"))
            host->lastUpdate.arguments().value(0).value<QDBusArgument>() >> flagsChanged;
    }
    delegate.onOpen = [] {};
    // The changed properties alone, for the rows that changed.
    ASSERT_EQ(flagsChanged.size(), 3);
    EXPECT_EQ(flagsChanged[0].properties.keys(), QStringList{QStringLiteral("label")});
    EXPECT_EQ(flagsChanged[1].properties, (QVariantMap{{QStringLiteral("enabled"), true}}));
    EXPECT_EQ(flagsChanged[2].properties, (QVariantMap{{QStringLiteral("toggle-state"), 0}}));
}

// Calls by id: a click runs its row's command once; an id the menu does not have is an error, left out, or listed.
TEST_F(Desktop, CallsByIdAndActivateOpensTheWindow) {
    start();
    const auto event = [](int id, const char* type) {
        return QVariantList{id, QLatin1String(type), QVariant::fromValue(QDBusVariant(0)), 0u};
    };
    const int quit = idOf(QStringLiteral("Quit Menu Bar App")), unknown = 4242;
    const QString clicked = QStringLiteral("clicked");
    const DBusMenuEventList events{{idOf(QStringLiteral("Connection & Settings…")), clicked, QDBusVariant(0), 0},
                                   {unknown, clicked, QDBusVariant(0), 0}};
    const struct {
        const char* method;
        QVariantList arguments;
        bool error;
        std::vector<Command> performed;
        QList<int> idErrors = {};  // the reply's list of the ids it did not know
    } calls[] = {
        {"Event", event(quit, "clicked"), false, {Command::quit}},
        {"Event", event(idOf(QStringLiteral("Start at Login")), "hovered"), false, {}},
        {"Event", event(idOf(QStringLiteral("Restart Local Bridge")), "clicked"), false, {}},
        {"Event", event(idOf(QStringLiteral("Tavix Link · Connected")), "clicked"), false, {}},
        {"Event", event(unknown, "clicked"), true, {}},
        {"EventGroup", {QVariant::fromValue(events)}, false, {Command::showSettings}, {unknown}},
        {"GetLayout", {unknown, -1, QStringList()}, true, {}},
        {"AboutToShowGroup", {QVariant::fromValue(QList<int>{0, unknown})}, false, {}, {unknown}},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(testing::Message() << c.method << " " << c.arguments.value(0).toInt());
        delegate.performed.clear();
        const QDBusMessage reply = host->menu(QLatin1String(c.method), c.arguments);
        EXPECT_EQ(reply.type() == QDBusMessage::ErrorMessage, c.error);
        const int listed = c.method == std::string_view("EventGroup") ? 0 : 1;
        EXPECT_EQ(qdbus_cast<QList<int>>(reply.arguments().value(listed)), c.idErrors);
        settle(20);  // a click runs on the next turn of the loop
        EXPECT_EQ(delegate.performed, c.performed);
    }
    DBusMenuItemList found;
    host->menu(QStringLiteral("GetGroupProperties"),
               {QVariant::fromValue(QList<int>{quit, unknown}), QStringList{"label"}})
            .arguments()
            .value(0)
            .value<QDBusArgument>() >>
        found;
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].properties, (QVariantMap{{QStringLiteral("label"), QStringLiteral("Quit Menu Bar App")}}));

    // A host that ignores ItemIsMenu activates the item: the settings window, never a menu of our own. Hosts that
    // can hand over an activation token first, for the window to take the focus on Wayland.
    delegate.performed.clear();
    host->call(QStringLiteral("/StatusNotifierItem"), kItem, QStringLiteral("ProvideXdgActivationToken"),
               {QStringLiteral("panel-token")});
    host->call(QStringLiteral("/StatusNotifierItem"), kItem, QStringLiteral("Activate"), {0, 0});
    ASSERT_TRUE(waitFor([&] { return !delegate.performed.empty(); }));
    EXPECT_EQ(delegate.performed, std::vector{Command::showSettings});
    EXPECT_EQ(takeActivationToken(), QStringLiteral("panel-token"));
}

TEST_F(Desktop, HeaderLogoByNameWhereTheIconThemeHasItUnlessATavixPngReplacesIt) {
    test::TempDir data;
    const test::ScopedEnv home("XDG_DATA_HOME", data.path().string());
    start();
    const auto place = [&](const char* file) {
        std::filesystem::create_directories((data / file).parent_path());
        QImage(8, 8, QImage::Format_ARGB32).save(QString::fromStdString((data / file).string()), "PNG");
    };
    const struct {
        const char* placed;  // a file put into the user's data folder before the menu opens
        const char* name;
    } openings[] = {
        {nullptr, ""},
        {"icons/hicolor/48x48/apps/app.tavix.menu.png", "app.tavix.menu"},
        {"tavix-menu/Tavix.png", ""},
    };
    for (const auto& opening : openings) {
        SCOPED_TRACE(opening.placed ? opening.placed : "nothing");
        if (opening.placed) place(opening.placed);
        host->menu(QStringLiteral("AboutToShow"), {0});
        const QVariantMap header = host->layout().second.children.value(0).properties;
        EXPECT_EQ(header.value(QStringLiteral("icon-name")).toString(), QLatin1String(opening.name));
        EXPECT_TRUE(header.contains(QStringLiteral("icon-data"))) << "the PNG for hosts without the theme";
    }
}

TEST(DBusMenu, LogoDrawnWhenAskedForAndAtEachOpeningAndClicksRunOnceTheCallHasReturned) {
    registerDBusTypes();
    test::RecordingDelegate delegate;
    QByteArray png = "first";
    int drawn = 0;
    DBusMenu menu(delegate, [&] {
        ++drawn;
        return DBusMenu::Logo{png, {}};
    });
    int updates = 0;
    QList<DBusMenuItem> last;
    QObject::connect(&menu, &DBusMenu::ItemsPropertiesUpdated, &menu, [&](const DBusMenuItemList& items, auto) {
        ++updates;
        last = items;
    });
    menu.setRows(kTrayRows);
    EXPECT_EQ(drawn, 0) << "nobody asked yet";
    DBusMenuLayout layout;
    menu.GetLayout(0, -1, {}, layout);
    EXPECT_EQ(drawn, 1);
    EXPECT_EQ(layout.children.value(0).properties.value(QStringLiteral("icon-data")).toByteArray(), png);

    struct Opening {
        QByteArray png;
        int updates;
    } openings[] = {{"first", 0}, {"second", 1}, {"second", 1}};
    for (const Opening& opening : openings) {
        png = opening.png;
        menu.AboutToShow(0);
        EXPECT_EQ(updates, opening.updates) << opening.png.constData();
    }
    EXPECT_EQ(drawn, 4);
    ASSERT_EQ(last.size(), 1);
    EXPECT_EQ(last[0].properties, (QVariantMap{{QStringLiteral("icon-data"), QByteArray("second")}}));

    // The host waits for its call before it closes the menu; a dialog must not open under it.
    menu.Event(layout.children.last().id, QStringLiteral("clicked"), QDBusVariant(0), 0);
    EXPECT_TRUE(delegate.performed.empty());
    QCoreApplication::processEvents();
    EXPECT_EQ(delegate.performed, std::vector{Command::quit});
}

}  // namespace
}  // namespace tavix

#include "status_notifier_test.moc"
