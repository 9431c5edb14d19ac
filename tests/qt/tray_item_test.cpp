#include "platform/qt/tray_item.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <gtest/gtest.h>

namespace tavix {
namespace {

class RecordingDelegate final : public StatusItemDelegate {
  public:
    explicit RecordingDelegate(TrayItem& tray) : item(tray) {}
    void menuWillOpen() override {
        ++opened;
        if (!rowsOnOpen.empty()) item.setMenu(rowsOnOpen);
    }
    void perform(Command command) override { performed.push_back(command); }

    TrayItem& item;
    int opened = 0;
    std::vector<MenuRow> rowsOnOpen;
    std::vector<Command> performed;
};

MenuRow info(std::string title, bool logo = false) {
    MenuRow row;
    row.title = std::move(title);
    row.logo = logo;
    return row;
}

MenuRow action(std::string title, Command command, bool enabled = true, std::optional<bool> checked = {}) {
    MenuRow row;
    row.title = std::move(title);
    row.command = command;
    row.enabled = enabled;
    row.checked = checked;
    return row;
}

MenuRow separator() {
    MenuRow row;
    row.separator = true;
    return row;
}

std::vector<MenuRow> sampleRows() {
    return {
        info("Tavix Link · Connected", true),
        info("Q&A host"),
        separator(),
        action("Connection & Settings…", Command::showSettings),
        action("Restart Local Bridge", Command::restart, false),
        action("Start at Login", Command::toggleLogin, true, true),
        separator(),
        action("Quit Menu Bar App", Command::quit),
    };
}

struct Tray {
    Tray() { item.create("Tavix Link", delegate); }
    QList<QAction*> actions() const { return item.menu()->actions(); }

    TrayItem item;
    RecordingDelegate delegate{item};
};

TEST(TrayItem, RowsBecomeActionsInOrder) {
    Tray tray;
    ASSERT_NE(tray.item.menu(), nullptr);
    const auto rows = sampleRows();
    tray.item.setMenu(rows);
    const auto actions = tray.actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        const MenuRow& row = rows[i];
        QAction* a = actions[static_cast<qsizetype>(i)];
        EXPECT_EQ(a->isSeparator(), row.separator);
        if (row.separator) continue;
        // Shown as written: "&" is not taken as a mnemonic marker.
        QString shown = a->text();
        shown.replace(QStringLiteral("&&"), QStringLiteral("&"));
        EXPECT_EQ(shown.toStdString(), row.title);
        EXPECT_EQ(a->isEnabled(), row.enabled);
        EXPECT_EQ(a->isCheckable(), row.checked.has_value());
        EXPECT_EQ(a->isChecked(), row.checked.value_or(false));
        EXPECT_EQ(a->icon().isNull(), !row.logo);
    }
    EXPECT_EQ(actions[1]->text(), QStringLiteral("Q&&A host"));
    EXPECT_EQ(actions[3]->text(), QStringLiteral("Connection && Settings…"));
    EXPECT_TRUE(actions[0]->isIconVisibleInMenu());
    const QPixmap logo = actions[0]->icon().pixmap(QSize(17, 17), 2.0);
    EXPECT_EQ(logo.size(), QSize(34, 34));
}

TEST(TrayItem, SameRowsChangeNothing) {
    Tray tray;
    tray.item.setMenu(sampleRows());
    const auto before = tray.actions();
    int changes = 0;
    for (QAction* a : before) QObject::connect(a, &QAction::changed, a, [&changes] { ++changes; });
    tray.item.setMenu(sampleRows());
    EXPECT_EQ(tray.actions(), before);
    EXPECT_EQ(changes, 0);
}

TEST(TrayItem, ChangedRowsUpdateInPlace) {
    Tray tray;
    tray.item.setMenu(sampleRows());
    const auto before = tray.actions();

    std::vector<int> changes(static_cast<std::size_t>(before.size()));
    for (qsizetype i = 0; i < before.size(); ++i) {
        QObject::connect(before[i], &QAction::changed, before[i], [&changes, i] { ++changes[std::size_t(i)]; });
    }

    auto rows = sampleRows();
    rows[0].title = "Tavix Link · Paused";
    rows[4].enabled = true;
    rows[5].checked = false;
    rows[7].command = Command::showSettings;
    tray.item.setMenu(rows);
    const auto after = tray.actions();
    ASSERT_EQ(after, before) << "the same actions, changed in place";
    // Only the rows whose look changed announce it (the command lives behind the action, not in it).
    EXPECT_EQ(changes, (std::vector<int>{1, 0, 0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(after[0]->text(), QStringLiteral("Tavix Link · Paused"));
    EXPECT_TRUE(after[4]->isEnabled());
    EXPECT_FALSE(after[5]->isChecked());

    // The action sends the command of the row it now shows.
    after[7]->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(tray.delegate.performed, std::vector<Command>{Command::showSettings});
}

TEST(TrayItem, NewShapeRebuilds) {
    Tray tray;
    tray.item.setMenu(sampleRows());
    auto rows = sampleRows();
    rows.insert(rows.begin() + 2, info("Working…"));
    tray.item.setMenu(rows);
    const auto actions = tray.actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(rows.size()));
    EXPECT_EQ(actions[2]->text(), QStringLiteral("Working…"));
    EXPECT_FALSE(actions[2]->isEnabled());
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), QStringLiteral("Connection && Settings…"));

    // Back to the shorter menu: the extra row goes.
    tray.item.setMenu(sampleRows());
    EXPECT_EQ(tray.actions().size(), static_cast<qsizetype>(sampleRows().size()));
    EXPECT_EQ(tray.actions()[2]->isSeparator(), true);
}

TEST(TrayItem, TriggeringSendsTheCommandOnTheNextTurn) {
    Tray tray;
    const auto rows = sampleRows();
    tray.item.setMenu(rows);
    for (std::size_t i : {3u, 5u, 7u}) {
        tray.delegate.performed.clear();
        tray.actions()[static_cast<qsizetype>(i)]->trigger();
        EXPECT_TRUE(tray.delegate.performed.empty()) << "the menu closes before the command runs";
        QCoreApplication::processEvents();
        EXPECT_EQ(tray.delegate.performed, std::vector<Command>{*rows[i].command}) << i;
    }
    // Information rows carry no command.
    tray.delegate.performed.clear();
    tray.actions()[0]->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(tray.delegate.performed.empty());
}

TEST(TrayItem, OpeningAsksTheDelegateAndTracksTheOpenState) {
    Tray tray;
    tray.item.setMenu(sampleRows());
    auto rows = sampleRows();
    rows[0].title = "Tavix Link · Server unreachable";
    tray.delegate.rowsOnOpen = rows;
    EXPECT_FALSE(tray.item.menuOpen());

    tray.item.menu()->popup(QPoint(10, 10));
    EXPECT_EQ(tray.delegate.opened, 1);
    EXPECT_TRUE(tray.item.menuOpen());
    EXPECT_EQ(tray.actions()[0]->text(), QStringLiteral("Tavix Link · Server unreachable"));

    tray.item.menu()->hide();
    EXPECT_FALSE(tray.item.menuOpen());
}

}  // namespace
}  // namespace tavix
