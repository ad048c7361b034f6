// The delegate, its menu, the models and the settings window as the program
// wires them, over fake desktop services and a configuration of the test's own.
#include "app/AppDelegate.h"
#include "app/PlatformChoice.h"
#include "config/ConfigJson.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"
#include "platform/kwin/KWinConfig.h"
#include "settings/AppModel.h"
#include "settings/BindingListModel.h"
#include "settings/HotkeyRecorder.h"
#include "settings/SettingsWindow.h"
#include "triggers/HotkeyManager.h"

#include "support/FakeDesktop.h"
#include "support/RecordingLogSink.h"
#include "support/Sandbox.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QQuickItem>
#include <QQuickView>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <sstream>
#include <tuple>

using namespace tarnwick;

namespace {

const Point kMiddle{500, 400};
const Point kTopLeft{1, 799};

CommandBinding cornerBinding(const std::string& command, ScreenCorner corner, bool enabled = true) {
    return CommandBinding("corner", Trigger{TriggerKind::corner, corner}, command, enabled);
}

CommandBinding hotkeyBinding(const std::string& command, bool enabled = true) {
    return CommandBinding(
        "hotkey", Trigger{TriggerKind::hotkey, std::nullopt, HotkeyCombo{17, 0x0900, "⌘⌥T"}},
        command, enabled);
}

// One application as the program wires it, launched; with a portal, on a
// desktop that keeps the keys itself; with KWin's corners, on one that
// watches the corners itself.
struct Fixture {
    explicit Fixture(const std::optional<AppConfig>& initial = std::nullopt, bool portal = false,
                     bool kwin = false)
        : Fixture(initial ? *encodeConfig(*initial, JsonLayout::pretty) : std::string(), portal,
                  kwin) {}
    explicit Fixture(const std::string& fileText, bool portal = false, bool kwin = false)
        : kwinCorners(kwin) {
        if (!fileText.empty()) {
            sandbox.writeConfig(fileText);
        }
        if (portal) {
            desktop.portal.emplace();
        }
        delegate.applicationDidFinishLaunching();
    }
    AppConfig saved() const { return *decodeConfig(test::readWholeFile(sandbox.configFile())); }
    QAction* switchItem() const { return delegate.menu()->actions()[2]; }
    AppDelegate::Services services() {
        AppDelegate::Services s{
            store, model, hotkeys, desktop, queue, log,
            [](const SettingsPanel::Services& services) {
                return std::make_unique<SettingsWindow>(services);
            },
            // The portal's spelling is its own test's: any text that follows the key.
            [](const HotkeyCombo& combo) { return combo.display; }, std::chrono::milliseconds(0)};
        if (kwinCorners) {
            s.desktopCorners = [this](std::vector<ScreenCorner> corners) {
                askedCorners.push_back(corners);
            };
        }
        return s;
    }

    bool kwinCorners;
    std::vector<std::vector<ScreenCorner>> askedCorners;
    test::Sandbox sandbox;
    ConfigStore store{sandbox.configDirectory().string()};
    AppModel model{store};
    test::FakeDesktop desktop;
    test::RecordingLogSink log;
    QtMainQueue queue;
    HotkeyManager hotkeys{desktop.hotkeyService, queue, log};
    AppDelegate delegate{services()};
    std::string id(std::size_t row) const { return model.config().bindings.at(row).id.toString(); }
    SettingsWindow& window() const {
        return *static_cast<SettingsWindow*>(delegate.settingsWindow());
    }
};

} // namespace

class AppTest : public QObject {
    Q_OBJECT

private slots:
    void launchSeedsArmsAndShowsTheMenu() {
        Fixture f;
        QCOMPARE(f.saved().bindings.size(), 2u);
        QCOMPARE(f.model.config().bindings, f.store.config.bindings);
        QCOMPARE(f.desktop.pointerSource.liveHandlers(), 1u);
        QCOMPARE(f.desktop.liveHotkeys(), 1u);
        QCOMPARE(f.desktop.hotkeyService.registerCalls.front().modifiers, 0x0900u);
    }

    void theSwitchItemTurnsEverythingOffAndOn() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("true"), cornerBinding("true", ScreenCorner::topLeft)};
        Fixture f(cfg);
        f.switchItem()->trigger();
        QCOMPARE(f.saved().globalEnabled, false);
        QCOMPARE(f.desktop.liveHotkeys(), 0u);
        QCOMPARE(f.switchItem()->text(), QStringLiteral("Enable Triggers"));
        f.desktop.pointerSource.moveTo(kTopLeft);
        QTest::qWait(300);
        QVERIFY(f.log.lines.empty());
        f.desktop.pointerSource.moveTo(kMiddle);
        f.switchItem()->trigger();
        QCOMPARE(f.saved().globalEnabled, true);
        QCOMPARE(f.desktop.liveHotkeys(), 1u);
        QCOMPARE(f.switchItem()->text(), QStringLiteral("Disable Triggers"));
        f.desktop.pointerSource.moveTo(kTopLeft);
        QTRY_COMPARE(f.log.lines.size(), 1u);
    }

    // The desktop notification with the same words is the tray test's.
    void aRejectedFileAndAFailedSaveAreLogged() {
        Fixture f(std::string("{broken"));
        QCOMPARE(f.log.lines.size(), 1u);
        QVERIFY2(f.log.lines[0].starts_with("Tarnwick: " + f.sandbox.configFile().string() +
                                            " could not be used: it is not valid JSON") &&
                     f.log.lines[0].find("kept as config.json.rejected-") != std::string::npos,
                 f.log.lines[0].c_str());
        std::filesystem::remove(f.sandbox.configFile());
        std::filesystem::create_directory(f.sandbox.configFile());
        f.switchItem()->trigger();
        QCOMPARE(f.log.lines.size(), 2u);
        QVERIFY2(f.log.lines[1].starts_with("Tarnwick: Settings could not be saved: "),
                 f.log.lines[1].c_str());
        QCOMPARE(f.desktop.liveHotkeys(), 0u); // the change holds while the program runs
    }

    void aCornerRunsEveryMatchingEnabledBindingWithItsOwnLine() {
        AppConfig cfg;
        const std::string literal = R"(printf '%s%d' "é ✓" >/dev/null)";
        cfg.bindings = {
            cornerBinding(literal, ScreenCorner::topLeft),
            cornerBinding("exit 3", ScreenCorner::topLeft),
            cornerBinding("echo disabled", ScreenCorner::topLeft, false),
            cornerBinding("echo other-corner", ScreenCorner::topRight),
            // A hotkey binding that still holds a stale corner never fires on it.
            CommandBinding("stale", Trigger{TriggerKind::hotkey, ScreenCorner::topLeft},
                           "echo stale"),
        };
        Fixture f(cfg);
        f.desktop.pointerSource.moveTo(kTopLeft);
        QTRY_COMPARE(f.log.lines.size(), 2u);
        QTest::qWait(200);
        std::sort(f.log.lines.begin(), f.log.lines.end());
        QCOMPARE(f.log.lines, (std::vector<std::string>{
                                  R"(Tarnwick: corner Top-Left ran "exit 3" ok=false)",
                                  "Tarnwick: corner Top-Left ran \"" + literal + "\" ok=true"}));
    }

    void aHotkeyRunsTheCommandOfTheLastReload() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("exit 0"), hotkeyBinding("echo disabled", false),
                        CommandBinding("no combo", Trigger{TriggerKind::hotkey}, "echo none")};
        Fixture f(cfg);
        auto& service = f.desktop.hotkeyService;
        QCOMPARE(service.registerCalls.size(), 1u);
        QVERIFY(service.press(service.registerCalls.back().id));
        QTRY_COMPARE(f.log.lines.size(), 1u);
        QCOMPARE(f.log.lines[0], std::string(R"(Tarnwick: hotkey ran "exit 0" ok=true)"));
        // Edited but not persisted: the press still runs what was registered.
        CommandBinding edited = f.model.config().bindings[0];
        edited.command = "exit 4";
        QVERIFY(f.model.setBinding(0, edited));
        QVERIFY(service.press(service.registerCalls.back().id));
        QTRY_COMPARE(f.log.lines.size(), 2u);
        QCOMPARE(f.log.lines[1], f.log.lines[0]);
        f.model.persist();
        QCOMPARE(service.registerCalls.back().id, 1u); // ids start afresh at each reload
        QCOMPARE(f.desktop.liveHotkeys(), 1u);
        QVERIFY(service.press(service.registerCalls.back().id));
        QTRY_COMPARE(f.log.lines.size(), 3u);
        QCOMPARE(f.log.lines[2], std::string(R"(Tarnwick: hotkey ran "exit 4" ok=false)"));
    }

    void theListEditsTheModelAndFollowsItRowByRow() {
        AppConfig cfg;
        cfg.bindings = {cornerBinding("a", ScreenCorner::topLeft), hotkeyBinding("b"),
                        cornerBinding("c", ScreenCorner::bottomRight)};
        Fixture f(cfg);
        int reloads = 0;
        f.model.onChange = [&] { ++reloads; };
        BindingListModel list(f.model, f.queue, f.desktop.keys());
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);

        // One field of one row, announced for that role alone, not saved.
        QVERIFY(list.setData(list.index(1), QStringLiteral("renamed"), BindingListModel::NameRole));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex().row(), 1);
        QCOMPARE(changed[0][1].toModelIndex().row(), 1);
        QCOMPARE(changed[0][2].value<QList<int>>(), QList<int>{BindingListModel::NameRole});
        QCOMPARE(f.saved().bindings[1].name, std::string("hotkey"));
        // Switching the kind keeps the other kind's value; nonsense is refused.
        QVERIFY(list.setData(list.index(0), QStringLiteral("hotkey"), BindingListModel::KindRole));
        QVERIFY(!list.setData(list.index(0), QStringLiteral("both"), BindingListModel::KindRole));
        QVERIFY(
            !list.setData(list.index(0), QStringLiteral("middle"), BindingListModel::CornerRole));
        QCOMPARE(list.data(list.index(0), BindingListModel::CornerRole), QVariant("topLeft"));
        QCOMPARE(list.data(list.index(0), BindingListModel::KindRole), QVariant("hotkey"));
        QVERIFY(!list.setData(list.index(3), QStringLiteral("x"), BindingListModel::NameRole));
        list.persist();
        QCOMPARE(f.saved().bindings[1].name, std::string("renamed"));
        QCOMPARE(reloads, 1);

        // Rows added and removed are announced where they are; their texts are the view's test.
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
        list.add();
        list.remove(1);
        QCOMPARE(std::pair(inserted.at(0).at(1).toInt(), removed.at(0).at(1).toInt()),
                 std::pair(3, 1));
        const CommandBinding added = f.saved().bindings.at(2);
        QCOMPARE(added.trigger, (Trigger{TriggerKind::corner, ScreenCorner::topRight}));
        QCOMPARE(f.saved().bindings[1].command, std::string("c"));
        QCOMPARE(list.data(list.index(2), BindingListModel::IdRole),
                 QVariant(QString::fromStdString(added.id.toString())));
        // Deleting a binding that is gone still saves and reloads.
        f.model.deleteBinding(cfg.bindings[1]);
        QCOMPARE(reloads, 4);
        QCOMPARE(list.rowCount(), 3);
    }

    // Typing alone does not save (the view's test); leaving does: Ctrl+W
    // closes the window, Ctrl+Q quits, and the menu's "," brings it back.
    void textTypedIsSavedWhenTheWindowClosesOrTheProgramQuits() {
        Fixture f;
        f.delegate.openSettings();
        QQuickView* view = &f.window().view();
        QVERIFY(QTest::qWaitForWindowActive(view));
        BindingListModel* list = &f.window().bindings();
        QVERIFY(list->setData(list->index(0), QStringLiteral("typed"), BindingListModel::NameRole));
        QTest::keyClick(view, Qt::Key_W, Qt::ControlModifier);
        QCOMPARE(f.saved().bindings[0].name, std::string("typed"));
        // The closed window is given back (here at once), and made anew when opened again.
        QTRY_VERIFY(f.delegate.settingsWindow() == nullptr);
        QMenu& menu = *f.delegate.menu();
        menu.popup({0, 0});
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QTest::keyClick(&menu, Qt::Key_Comma);
        view = &f.window().view();
        QVERIFY(QTest::qWaitForWindowActive(view));
        list = &f.window().bindings();
        // The menu wears the window's colours; the window follows the compositor.
        QQuickItem& root = *view->rootObject();
        QCOMPARE(menu.palette().color(QPalette::Window), root.property("color").value<QColor>());
        f.desktop.compositorChanged(true);
        QCOMPARE(root.property("translucent"), QVariant(true));
        f.desktop.compositorChanged(false);
        QCOMPARE(root.property("translucent"), QVariant(false));
        QVERIFY(
            list->setData(list->index(1), QStringLiteral("echo"), BindingListModel::CommandRole));
        // Pressed inside the loop: a quit before it would be lost.
        QTimer::singleShot(0, view,
                           [view] { QTest::keyClick(view, Qt::Key_Q, Qt::ControlModifier); });
        QCOMPARE(QApplication::exec(), 0);
        QCOMPARE(f.saved().bindings[1].command, std::string("echo"));
    }

    // A card says why its hotkey is not live on its own, for as long as that lasts.
    void hotkeyConflictsAreFoundAtEachReload() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("first"), hotkeyBinding("taken"), hotkeyBinding("twin"),
                        hotkeyBinding("off", false)};
        cfg.bindings[1].trigger.hotkey = HotkeyCombo{16, 0x1200, "⌃⇧Y"};
        Fixture f(cfg);
        auto& held = f.desktop.hotkeyService.heldElsewhere;
        held[16] = HotkeyRefusal::taken;
        f.model.persist();
        using Kind = HotkeyConflict::Kind;
        QVERIFY(f.model.hotkeyConflict(0) == HotkeyConflict{});
        QVERIFY(f.model.hotkeyConflict(1) == (HotkeyConflict{Kind::taken, {}}));
        QVERIFY(f.model.hotkeyConflict(2) == (HotkeyConflict{Kind::shared, "hotkey"}));
        QVERIFY(f.model.hotkeyConflict(3) == HotkeyConflict{});
        held.clear();
        f.model.persist();
        QVERIFY(f.model.hotkeyConflict(1) == HotkeyConflict{});
    }

    // Where the desktop keeps the keys, it is asked for one shortcut per live
    // hotkey binding, and asked again only when that set changes. What it
    // activates runs as a key press does: a bound id only, with the switch on.
    void theDesktopIsAskedForTheLiveHotkeysAndRunsWhatItActivates() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("exit 0"), hotkeyBinding("b", false),
                        cornerBinding("c", ScreenCorner::topLeft),
                        CommandBinding("no combo", Trigger{TriggerKind::hotkey}, "d"),
                        hotkeyBinding("twin")};
        cfg.bindings[4].id = cfg.bindings[0].id; // as a hand-edited file may have it
        Fixture f(cfg, true);
        const test::FakeGlobalShortcuts& portal = *f.desktop.portal;
        const auto& binds = portal.binds;
        const auto asked = [&](std::vector<std::size_t> rows) {
            std::vector<ShortcutRequest> requests;
            for (const std::size_t row : rows) {
                const CommandBinding& b = f.model.config().bindings[row];
                requests.push_back({b.id.toString(), b.name, b.trigger.hotkey->display});
            }
            return requests;
        };
        QCOMPARE(binds, std::vector<std::vector<ShortcutRequest>>{asked({0})});
        QVERIFY(f.desktop.hotkeyService.registerCalls.empty());
        QSignalSpy triggered(&f.delegate, &AppDelegate::triggered);
        for (const std::string& id : {f.id(0), f.id(1), std::string("no such id")}) {
            portal.activate(id);
        }
        QTRY_COMPARE(f.log.lines.size(), 1u);
        QCOMPARE(f.log.lines[0], std::string(R"(Tarnwick: hotkey ran "exit 0" ok=true)"));
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(triggered[0][0].toString().toStdString(), f.id(0));
        f.model.setCornerSensitivity(12);
        f.model.persist();
        QCOMPARE(binds.size(), 1u);
        // Switched on, then recorded anew and renamed, then deleted.
        CommandBinding second = f.model.config().bindings[1];
        second.enabled = true;
        QVERIFY(f.model.setBinding(1, second));
        f.model.persist();
        QCOMPARE(binds.back(), asked({0, 1}));
        second.trigger.hotkey = HotkeyCombo{16, 0x1200, "⌃⇧Y"};
        second.name = "renamed";
        QVERIFY(f.model.setBinding(1, second));
        f.model.persist();
        QCOMPARE(binds.back(), asked({0, 1}));
        QCOMPARE(binds.back()[1], (ShortcutRequest{second.id.toString(), "renamed", "⌃⇧Y"}));
        f.model.deleteBinding(f.model.config().bindings[0]);
        QCOMPARE(binds.back(), asked({0}));
        QCOMPARE(binds.size(), 4u);
        // None while the switch is off; recording asks nothing new, since the
        // desktop may answer every new set with a dialog, and runs nothing.
        f.switchItem()->trigger();
        QCOMPARE(binds.back(), asked({}));
        portal.activate(f.id(0));
        f.switchItem()->trigger();
        QCOMPARE(binds.back(), asked({0}));
        f.delegate.openSettings();
        QVERIFY(QTest::qWaitForWindowActive(&f.window().view()));
        f.window().recorder().toggle(0);
        portal.activate(f.id(0));
        QTest::qWait(200);
        QCOMPARE(f.log.lines.size(), 1u);
        f.window().recorder().toggle(0);
        QCOMPARE(binds.size(), 6u);
    }

    // What the desktop really gave is said once in the log and shown on the
    // cards; the file keeps the hotkey the user recorded.
    void whatTheDesktopGaveIsShownAndSaidOnce() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("a"), hotkeyBinding("b"),
                        cornerBinding("c", ScreenCorner::topLeft)};
        cfg.bindings[1].name = "second";
        Fixture f(cfg, true);
        BindingListModel list(f.model, f.queue, f.desktop.keys());
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        const auto shown = [&](int row) {
            QStringList texts;
            for (const int role :
                 {BindingListModel::DesktopKeyRole, BindingListModel::HotkeyProblemRole,
                  BindingListModel::RunCommandRole}) {
                texts << list.data(list.index(row), role).toString();
            }
            return texts;
        };
        const test::FakeGlobalShortcuts& portal = *f.desktop.portal;
        QCOMPARE(shown(0), QStringList({"", "", ""})); // until the desktop answers
        portal.assign({{f.id(0), "Ctrl+Shift+Y"}, {f.id(1), ""}, {"stranger", "Meta+X"}});
        QCOMPARE(f.log.lines, (std::vector<std::string>{
                                  R"(Tarnwick: the desktop assigned Ctrl+Shift+Y to "hotkey")",
                                  R"(Tarnwick: the desktop assigned no key to "second")"}));
        QCOMPARE(shown(0), QStringList({"Desktop: Ctrl+Shift+Y", "", ""}));
        QCOMPARE(shown(1),
                 QStringList({"", "not assigned: set it in the desktop's shortcut settings", ""}));
        QCOMPARE(changed.size(), 2);
        // Told again: only the change is said (the user set a key in the desktop's settings).
        portal.assign({{f.id(0), "Ctrl+Shift+Y"}, {f.id(1), "Meta+F9"}});
        QCOMPARE(f.log.lines.size(), 3u);
        QCOMPARE(f.log.lines[2],
                 std::string(R"(Tarnwick: the desktop assigned Meta+F9 to "second")"));
        QCOMPARE(f.saved().bindings, cfg.bindings);
        // None to be had: said each time, on every card, with the command to bind instead.
        portal.refuse("no GlobalShortcuts portal");
        QCOMPARE(f.log.lines.back(), std::string("Tarnwick: no GlobalShortcuts portal"));
        const QString run = QStringLiteral("tarnwick --run ") + QString::fromStdString(f.id(0));
        QCOMPARE(shown(0),
                 QStringList({"", "Global shortcuts are not available on this desktop", run}));
        // Back again: the keys it gives are shown again.
        portal.assign({{f.id(0), "Ctrl+Shift+Y"}, {f.id(1), "Meta+F9"}});
        QCOMPARE(shown(0), QStringList({"Desktop: Ctrl+Shift+Y", "", ""}));
        QCOMPARE(f.log.lines.size(), 4u);
    }

    // Where KWin watches the corners it is asked for the live ones, and our
    // own watcher stays off; the cards say what KWin does with each corner.
    void kwinIsAskedForTheLiveCornersAndTheCardsSayWhatItDoes() {
        using enum ScreenCorner;
        AppConfig cfg;
        cfg.bindings = {cornerBinding("true", topLeft), cornerBinding("true", bottomLeft),
                        cornerBinding("true", topRight, false),
                        CommandBinding("stale", Trigger{TriggerKind::hotkey, bottomRight}, "true")};
        Fixture f(cfg, false, true);
        QCOMPARE(f.desktop.pointerSource.liveHandlers(), 0u);
        QCOMPARE(f.askedCorners.back(), (std::vector<ScreenCorner>{topLeft, bottomLeft}));
        f.switchItem()->trigger();
        QVERIFY(f.askedCorners.back().empty());

        BindingListModel list(f.model, f.queue, f.desktop.keys());
        const auto problem = [&](int row) {
            return list.data(list.index(row), BindingListModel::CornerProblemRole).toString();
        };
        QSignalSpy changed(&list, &QAbstractItemModel::dataChanged);
        f.model.setCornerNotes(
            kwin::EdgeSettings{150, 350, 1, {"", "", "Show Desktop", ""}}.notes());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(problem(1), QStringLiteral("KWin uses this corner for Show Desktop"));
        QCOMPARE(problem(0), QString());
        // The problem follows the corner chosen.
        QVERIFY(list.setData(list.index(0), QStringLiteral("bottomLeft"),
                             BindingListModel::CornerRole));
        QCOMPARE(changed.back()[2].value<QList<int>>(),
                 (QList<int>{BindingListModel::CornerRole, BindingListModel::CornerProblemRole}));
        QCOMPARE(problem(0), problem(1));
        // Nothing to watch the corners with: they stay, and nothing runs.
        f.model.setCornerNotes(CornerNotes::unavailable());
        f.desktop.pointerSource.moveTo(kTopLeft);
        QTest::qWait(300);
        QVERIFY(f.log.lines.empty());
        QCOMPARE(f.store.config.bindings.size(), 4u);
    }

    // Qt is told through its arguments to draw where the backend works.
    void theDesktopAndQtsPlatformAreChosenTogether() {
        const auto words = [](const std::string& text) {
            std::vector<std::string> list;
            std::istringstream in(text);
            for (std::string word; in >> word;) {
                list.push_back(word);
            }
            return list;
        };
        const std::string wayland = "wayland-0";
        // Arguments, $QT_QPA_PLATFORM and $WAYLAND_DISPLAY; on Wayland; Qt's arguments.
        const std::tuple<std::string, PlatformChoice::Environment, bool, std::string> cases[] = {
            {"t", {}, false, "t -platform xcb"},
            {"t", {"", wayland, ""}, true, "t -platform wayland"},
            {"t --toggle", {"", "", "wayland"}, true, "t --toggle -platform wayland"},
            {"t --platform x11", {"", wayland, ""}, false, "t -platform xcb"},
            {"t -platform wayland", {}, true, "t -platform wayland"},
            {"t --platform offscreen", {"", wayland, ""}, true, "t -platform offscreen"},
            // An X display named on the command line is X11's.
            {"t -display :5", {"", wayland, ""}, false, "t -display :5 -platform xcb"},
            // Qt reads its variable itself.
            {"t", {"xcb", wayland, ""}, false, "t"},
            {"t", {"wayland;xcb", "", ""}, true, "t"},
        };
        for (const auto& [arguments, environment, onWayland, qt] : cases) {
            const auto given = words(arguments);
            std::vector<const char*> argv;
            std::ranges::transform(given, std::back_inserter(argv),
                                   [](const std::string& word) { return word.c_str(); });
            const auto choice = PlatformChoice::make(argv, environment);
            QVERIFY(choice.error.empty());
            QCOMPARE(choice.desktop == PlatformChoice::Desktop::wayland, onWayland);
            QCOMPARE(choice.qtArguments, words(qt));
        }
        QCOMPARE(PlatformChoice::make(std::vector{"t", "-display", ":5"}, {}).display,
                 std::string(":5"));
        QCOMPARE(PlatformChoice::make(std::vector{"t", "--platform"}, {}).error,
                 std::string("--platform needs a value: x11 or wayland"));
    }

    void recordingTakesTheNextKeyOfTheWindowWithOurGrabsReleased() {
        AppConfig cfg;
        cfg.bindings = {cornerBinding("echo zero", ScreenCorner::topRight),
                        hotkeyBinding("echo one"),
                        cornerBinding("echo two", ScreenCorner::topLeft)};
        // As a hand-edited file may have it: each card still records its own.
        cfg.bindings[2].id = cfg.bindings[1].id;
        Fixture f(cfg);
        f.delegate.openSettings();
        QQuickView& view = f.window().view();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        HotkeyRecorder& recorder = f.window().recorder();
        const std::string before = test::readWholeFile(f.sandbox.configFile());
        const auto stoppedUnsaved = [&] {
            return recorder.recordingRow() < 0 && f.desktop.liveHotkeys() == 1 &&
                   test::readWholeFile(f.sandbox.configFile()) == before;
        };
        // Pressing the button twice records nothing and saves nothing.
        recorder.toggle(2);
        QCOMPARE(f.desktop.liveHotkeys(), 0u);
        recorder.toggle(2);
        QVERIFY(stoppedUnsaved());

        // Other windows, the tray menu among them, keep their keys.
        recorder.toggle(2);
        QWindow other;
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0x61, 0, "a");
        QCoreApplication::sendEvent(&other, &key);
        QCOMPARE(recorder.recordingRow(), 2);
        QMenu& menu = *f.delegate.menu();
        menu.popup({0, 0});
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, 116, 0xff54, 0);
        QCoreApplication::sendEvent(menu.windowHandle(), &down);
        QCOMPARE(menu.activeAction(), f.switchItem());
        menu.hide();
        QCOMPARE(test::readWholeFile(f.sandbox.configFile()), before);

        // Closing the window, or leaving it for another, stops the recording.
        recorder.toggle(2);
        view.close();
        QVERIFY(stoppedUnsaved());
        f.delegate.openSettings();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        recorder.toggle(2);
        QWindow elsewhere;
        elsewhere.show();
        elsewhere.requestActivate();
        QTRY_VERIFY(stoppedUnsaved());

        // A row before it goes while recording: the recording follows its binding.
        f.delegate.openSettings();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        recorder.toggle(2);
        f.model.deleteBinding(f.model.config().bindings[0]);
        QCOMPARE(recorder.recordingRow(), 1);
        // Ctrl+Shift+T on the key at evdev code 20 (+8), delivered to the window: taken.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier, 28,
                        0x54, 0, QStringLiteral("\x14"));
        QVERIFY(QCoreApplication::sendEvent(&view, &press));
        QCOMPARE(recorder.recordingRow(), -1);
        QCOMPARE(f.saved().bindings[0].trigger.hotkey->keyCode, 17u);
        const Trigger t = f.saved().bindings[1].trigger;
        QCOMPARE(t.kind, TriggerKind::corner); // only the hotkey changes
        QCOMPARE(t.hotkey, (HotkeyCombo{17, 0x1200, "⌃⇧T"}));
        QCOMPARE(f.desktop.liveHotkeys(), 1u);

        // The binding goes (with its twin) while recording: nothing is taken.
        recorder.toggle(1);
        f.model.deleteBinding(f.model.config().bindings[1]);
        QCOMPARE(recorder.recordingRow(), -1);
        QVERIFY(f.saved().bindings.empty());
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppTest.moc"
