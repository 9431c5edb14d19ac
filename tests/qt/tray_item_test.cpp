#include "platform/qt/tray_item.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QStyle>

#include <functional>

#include <gtest/gtest.h>

#include "support/menu_rows.h"

namespace tavix {
namespace {

using test::kTrayRows;
using test::row;

// The XEmbed tray item, sending its commands to a recorder.
struct Tray {
    Tray() { item.create("Tavix Link", delegate); }
    QList<QAction*> actions() const { return item.menu()->actions(); }

    test::RecordingDelegate delegate;
    TrayItem item{QDBusConnection(QStringLiteral("none"))};
};

void expectShows(const QList<QAction*>& actions, const std::vector<MenuRow>& rows) {
    ASSERT_EQ(actions.size(), qsizetype(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MenuRow& row = rows[i];
        const QAction* action = actions[qsizetype(i)];
        SCOPED_TRACE(row.title);
        EXPECT_EQ(action->isSeparator(), row.separator);
        if (row.separator) continue;
        // Shown as written: "&" doubled so that it is not taken as a mnemonic marker, a tab (which would start the
        // shortcut column) as a space.
        EXPECT_EQ(action->text(), QString::fromStdString(row.title).replace("&", "&&").replace('\t', ' '));
        EXPECT_EQ(action->isEnabled(), row.enabled);
        EXPECT_EQ(action->isCheckable(), row.checked.has_value());
        EXPECT_EQ(action->isChecked(), row.checked.value_or(false));
        EXPECT_EQ(action->icon().isNull(), !row.logo);
        EXPECT_EQ(action->isIconVisibleInMenu(), row.logo);
    }
}

TEST(TrayItem, RowsInOrderSendTheirCommandsOnceTheMenuHasClosed) {
    Tray tray;
    tray.item.setMenu(kTrayRows);
    expectShows(tray.actions(), kTrayRows);
    QMenu* menu = tray.item.menu();
    EXPECT_EQ(menu->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, menu), 17) << "the logo's size";
    EXPECT_EQ(tray.actions()[0]->icon().pixmap(QSize(17, 17), 2.0).size(), QSize(34, 34)) << "a sharp logo at 2×";
    for (std::size_t i = 0; i < kTrayRows.size(); ++i) {
        tray.delegate.performed.clear();
        tray.actions()[qsizetype(i)]->trigger();
        EXPECT_TRUE(tray.delegate.performed.empty()) << "the menu closes before the command runs";
        QCoreApplication::processEvents();
        const MenuRow& row = kTrayRows[i];
        const auto expected = row.command && row.enabled ? std::vector{*row.command} : std::vector<Command>{};
        EXPECT_EQ(tray.delegate.performed, expected) << i;
    }
}

TEST(TrayItem, NewRowsUpdateTheActionsInPlaceUnlessTheShapeChanges) {
    Tray tray;
    tray.item.setMenu(kTrayRows);
    const auto before = tray.actions();
    // A tray host re-sends every item that announces a change: only the rows that look different may.
    std::vector<int> changes(std::size_t(before.size()));
    for (qsizetype i = 0; i < before.size(); ++i)
        QObject::connect(before[i], &QAction::changed, before[i], [&changes, i] { ++changes[std::size_t(i)]; });
    tray.item.setMenu(kTrayRows);
    EXPECT_EQ(changes, std::vector<int>(8, 0)) << "identical rows change nothing";

    auto rows = kTrayRows;
    rows[0].title = "Tavix Link · Paused\tnow";
    rows[4].enabled = true;
    rows[5].checked = false;
    rows[7].command = Command::showSettings;
    tray.item.setMenu(rows);
    expectShows(tray.actions(), rows);
    EXPECT_EQ(tray.actions(), before) << "the same actions, changed in place";
    EXPECT_EQ(changes, (std::vector<int>{1, 0, 0, 0, 1, 1, 0, 0}));
    tray.actions()[7]->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(tray.delegate.performed, std::vector{Command::showSettings}) << "the command of the row it now shows";

    rows.insert(rows.begin() + 2, row("Working…", {}, false));
    tray.item.setMenu(rows);
    expectShows(tray.actions(), rows);
}

TEST(TrayItem, OpeningAsksTheDelegateAndANewShapeWaitsUntilTheMenuHasClosed) {
    Tray tray;
    tray.item.setMenu(kTrayRows);
    auto rows = kTrayRows;
    rows[0].title = "Tavix Link · Server unreachable";
    tray.delegate.onOpen = [&] { tray.item.setMenu(rows); };
    tray.item.menu()->popup(QPoint(10, 10));
    expectShows(tray.actions(), rows);
    auto longer = rows;
    longer.insert(longer.begin() + 2, row("Working…", {}, false));
    tray.item.setMenu(longer);
    expectShows(tray.actions(), rows);
    tray.item.menu()->hide();
    QCoreApplication::processEvents();
    expectShows(tray.actions(), longer);
}

}  // namespace
}  // namespace tavix
