#include "app/AppDelegate.h"
#include "app/AppModel.h"
#include "app/HotkeyRecorder.h"
#include "app/SettingsWindow.h"
#include "config/ConfigJson.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"
#include "platform/SystemLog.h"
#include "platform/x11/KeyTable.h"
#include "triggers/HotkeyManager.h"

#include "support/FakeHotkeyService.h"
#include "support/FakePointerSource.h"
#include "support/RecordingLogSink.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QQuickView>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

using namespace tarnwick;

namespace {

const Rect kScreen{0, 0, 1000, 800};
const Point kMiddle{500, 400};
const Point kTopLeft{1, 799};
const Point kTopRight{999, 799};

CommandBinding cornerBinding(const std::string& command, ScreenCorner corner, bool enabled = true) {
    return CommandBinding("corner", Trigger{TriggerKind::corner, corner}, command, enabled);
}

CommandBinding hotkeyBinding(const std::string& command, std::uint32_t keyCode,
                             bool enabled = true) {
    return CommandBinding(
        "hotkey", Trigger{TriggerKind::hotkey, std::nullopt, HotkeyCombo{keyCode, 0x0900, "⌘⌥X"}},
        command, enabled);
}

QStringList titles(const QMenu* menu) {
    QStringList result;
    for (const QAction* action : menu->actions()) {
        result << (action->isSeparator() ? QStringLiteral("---") : action->text());
    }
    return result;
}

QAction* actionTitled(const QMenu* menu, const QString& title) {
    for (QAction* action : menu->actions()) {
        if (action->text() == title) {
            return action;
        }
    }
    return nullptr;
}

} // namespace

// One application as the program wires it, over fake desktop services and a
// configuration directory of the test's own.
class Fixture {
public:
    explicit Fixture(const std::optional<AppConfig>& initial = std::nullopt) {
        if (initial) {
            std::filesystem::create_directories(dir.path().toStdString());
            std::ofstream(file()) << *encodeConfig(*initial, JsonLayout::pretty);
        }
        pointer.screens = {kScreen};
        pointer.position = kMiddle;
    }

    std::string file() const { return dir.filePath(QStringLiteral("config.json")).toStdString(); }
    std::string fileText() const {
        std::stringstream text;
        text << std::ifstream(file()).rdbuf();
        return text.str();
    }
    AppConfig saved() const { return *decodeConfig(fileText()); }

    std::size_t liveHotkeys() const {
        return hotkeyService.issued.size() - hotkeyService.unregistered.size();
    }

    void moveTo(Point p) { pointer.moveTo(p); }

    QTemporaryDir dir;
    ConfigStore store{dir.path().toStdString()};
    AppModel model{store};
    test::FakePointerSource pointer;
    test::FakeHotkeyService hotkeyService;
    test::RecordingLogSink log;
    QtMainQueue queue;
    HotkeyManager hotkeys{hotkeyService, queue, log};
    // X keycodes as on an evdev keymap.
    static std::optional<std::uint32_t> translate(std::uint32_t keycode) {
        const auto key = keycode >= 8 ? x11::keyForEvdevCode(keycode - 8) : std::nullopt;
        return key ? std::optional<std::uint32_t>(key->virtualKey) : std::nullopt;
    }
    AppDelegate delegate{{store, model, hotkeys, pointer, queue, log, translate}};
};

class AppDelegateTest : public QObject {
    Q_OBJECT

private slots:
    void launchLoadsSeedsAndArmsEverything() {
        Fixture f;
        f.delegate.applicationDidFinishLaunching();
        // The store seeded the file, and the model shows what the store holds.
        QCOMPARE(f.saved().bindings.size(), 2u);
        QCOMPARE(f.model.config().bindings, f.store.config.bindings);
        QVERIFY(f.model.onChange);
        QVERIFY(f.delegate.statusItem() != nullptr);
        QCOMPARE(f.delegate.statusItem()->toolTip(), QStringLiteral("Tarnwick"));
        QVERIFY(!f.delegate.statusItem()->icon().isNull());
        QCOMPARE(f.pointer.liveHandlers(), 1u);
        // The seed's one hotkey is registered, the corner binding is not.
        QCOMPARE(f.liveHotkeys(), 1u);
        QCOMPARE(f.hotkeyService.registerCalls.front().keyCode, 17u);
        QCOMPARE(f.hotkeyService.registerCalls.front().modifiers, 0x0900u);
    }

    void menuHasItsSixItems() {
        Fixture f;
        f.delegate.applicationDidFinishLaunching();
        const QMenu* menu = f.delegate.menu();
        QCOMPARE(titles(menu),
                 (QStringList{"Tarnwick", "---", "Disable Triggers", QString::fromUtf8("Settings…"),
                              "---", "Quit Tarnwick"}));
        QVERIFY(!menu->actions()[0]->isEnabled());
        QCOMPARE(menu->actions()[3]->shortcut(), QKeySequence(QStringLiteral("Ctrl+,")));
        QVERIFY(menu->actions()[3]->isShortcutVisibleInContextMenu());
        QCOMPARE(menu->actions()[5]->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
        QCOMPARE(f.delegate.statusItem()->contextMenu(), menu);
    }

    void theSwitchItemTurnsEverythingOffAndOn() {
        AppConfig cfg;
        cfg.bindings = {cornerBinding("true", ScreenCorner::topLeft), hotkeyBinding("true", 17)};
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        QCOMPARE(f.liveHotkeys(), 1u);

        actionTitled(f.delegate.menu(), "Disable Triggers")->trigger();
        QCOMPARE(f.saved().globalEnabled, false);
        QCOMPARE(f.liveHotkeys(), 0u);
        QVERIFY(!f.delegate.corners().enabled);
        QCOMPARE(f.delegate.menu()->actions()[2]->text(), QStringLiteral("Enable Triggers"));
        f.moveTo(kTopLeft);
        QTest::qWait(100);
        QVERIFY(f.log.lines.empty());

        actionTitled(f.delegate.menu(), "Enable Triggers")->trigger();
        QCOMPARE(f.saved().globalEnabled, true);
        QCOMPARE(f.liveHotkeys(), 1u);
        QCOMPARE(f.delegate.menu()->actions()[2]->text(), QStringLiteral("Disable Triggers"));
    }

    void everyMatchingCornerBindingRunsWithItsOwnLine() {
        AppConfig cfg;
        cfg.bindings = {
            cornerBinding("true", ScreenCorner::topLeft),
            cornerBinding("exit 3", ScreenCorner::topLeft),
            cornerBinding("echo skipped-disabled", ScreenCorner::topLeft, false),
            cornerBinding("echo other-corner", ScreenCorner::topRight),
            // A hotkey binding that still holds a stale corner never fires on it.
            CommandBinding("stale", Trigger{TriggerKind::hotkey, ScreenCorner::topLeft},
                           "echo stale"),
        };
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        f.moveTo(kTopLeft);
        QTRY_COMPARE(f.log.lines.size(), 2u);
        QTest::qWait(200);
        std::sort(f.log.lines.begin(), f.log.lines.end());
        QCOMPARE(f.log.lines,
                 (std::vector<std::string>{R"(Tarnwick: corner Top-Left ran "exit 3" ok=false)",
                                           R"(Tarnwick: corner Top-Left ran "true" ok=true)"}));
        // Staying in the corner runs nothing more; leaving and coming back runs again.
        f.moveTo({2, 798});
        f.moveTo(kMiddle);
        f.moveTo(kTopLeft);
        QTRY_COMPARE(f.log.lines.size(), 4u);
    }

    void logLinesKeepPercentQuotesAndNonAsciiAsTheyAre() {
        const std::string command = R"(printf '%s%d' "é ✓" 2>/dev/null)";
        AppConfig cfg;
        cfg.bindings = {cornerBinding(command, ScreenCorner::topRight)};
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        f.moveTo(kTopRight);
        QTRY_COMPARE(f.log.lines.size(), 1u);
        QCOMPARE(f.log.lines[0], "Tarnwick: corner Top-Right ran \"" + command + "\" ok=true");
        QCOMPARE(AppDelegate::hotkeyLogLine("a % \"b\"", false),
                 std::string(R"(Tarnwick: hotkey ran "a % "b"" ok=false)"));
    }

    void onlyEnabledHotkeyBindingsWithACombinationAreRegistered() {
        AppConfig cfg;
        cfg.bindings = {
            hotkeyBinding("echo one", 17),
            hotkeyBinding("echo disabled", 18, false),
            CommandBinding("no combo", Trigger{TriggerKind::hotkey}, "echo none"),
            // A corner binding that still holds a combination is no hotkey.
            CommandBinding(
                "stale",
                Trigger{TriggerKind::corner, ScreenCorner::topLeft, HotkeyCombo{19, 0, "x"}},
                "echo stale"),
            hotkeyBinding("echo same key", 17),
        };
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        QCOMPARE(f.hotkeyService.registerCalls.size(), 2u);
        QCOMPARE(f.hotkeyService.registerCalls[0].keyCode, 17u);
        QCOMPARE(f.hotkeyService.registerCalls[1].keyCode, 17u);
    }

    void aHotkeyRunsTheCommandOfTheLastReload() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("exit 0", 17)};
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        QVERIFY(f.hotkeyService.press(f.hotkeyService.registerCalls.back().id));
        QTRY_COMPARE(f.log.lines.size(), 1u);
        QCOMPARE(f.log.lines[0], std::string(R"(Tarnwick: hotkey ran "exit 0" ok=true)"));

        // Edited but not saved: the hotkey still runs the old text.
        CommandBinding edited = f.model.config().bindings[0];
        edited.command = "exit 4";
        QVERIFY(f.model.setBinding(0, edited));
        QVERIFY(f.hotkeyService.press(f.hotkeyService.registerCalls.back().id));
        QTRY_COMPARE(f.log.lines.size(), 2u);
        QCOMPARE(f.log.lines[1], std::string(R"(Tarnwick: hotkey ran "exit 0" ok=true)"));
        // Saved: the new text.
        f.model.persist();
        QVERIFY(f.hotkeyService.press(f.hotkeyService.registerCalls.back().id));
        QTRY_COMPARE(f.log.lines.size(), 3u);
        QCOMPARE(f.log.lines[2], std::string(R"(Tarnwick: hotkey ran "exit 4" ok=false)"));
    }

    void everyPersistReloadsAndRebuildsTheMenu() {
        Fixture f;
        f.delegate.applicationDidFinishLaunching();
        const auto registrations = f.hotkeyService.registerCalls.size();
        // Changed without saving: the menu follows at the next save.
        f.model.setGlobalEnabled(false);
        QCOMPARE(f.delegate.menu()->actions()[2]->text(), QStringLiteral("Disable Triggers"));
        f.model.setGlobalEnabled(true);
        f.model.persist();
        QCOMPARE(titles(f.delegate.menu()).size(), 6);
        QCOMPARE(f.hotkeyService.registerCalls.size(), registrations + 1);
        // Ids restart at 1 on every reload.
        QCOMPARE(f.hotkeyService.registerCalls.back().id, 1u);
        QCOMPARE(f.liveHotkeys(), 1u);
    }

    void addAppendsALiveTopRightBinding() {
        AppConfig empty;
        Fixture f(empty);
        f.delegate.applicationDidFinishLaunching();
        QVERIFY(f.model.config().bindings.empty());
        f.model.add();
        f.model.add();
        const auto& bindings = f.model.config().bindings;
        QCOMPARE(bindings.size(), 2u);
        QCOMPARE(bindings[0].name, std::string("New command"));
        QCOMPARE(bindings[0].command, std::string("notify-send hello"));
        QCOMPARE(bindings[0].trigger, (Trigger{TriggerKind::corner, ScreenCorner::topRight}));
        QVERIFY(bindings[0].enabled);
        QVERIFY(!(bindings[0].id == bindings[1].id));
        QCOMPARE(f.saved().bindings, bindings);
    }

    void deleteRemovesByIdKeepsOrderAndAlwaysSaves() {
        AppConfig cfg;
        cfg.bindings = {cornerBinding("a", ScreenCorner::topLeft),
                        cornerBinding("b", ScreenCorner::topRight),
                        cornerBinding("c", ScreenCorner::bottomLeft)};
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        int reloads = 0;
        auto reload = f.model.onChange;
        f.model.onChange = [&] {
            ++reloads;
            reload();
        };
        f.model.deleteBinding(f.model.config().bindings[1]);
        QCOMPARE(f.model.config().bindings.size(), 2u);
        QCOMPARE(f.model.config().bindings[0].command, std::string("a"));
        QCOMPARE(f.model.config().bindings[1].command, std::string("c"));
        QCOMPARE(f.saved().bindings.size(), 2u);
        QCOMPARE(reloads, 1);

        // Unknown id: nothing removed, still saved and reloaded.
        std::filesystem::remove(f.file());
        f.model.deleteBinding(cornerBinding("x", ScreenCorner::topLeft));
        QCOMPARE(f.model.config().bindings.size(), 2u);
        QCOMPARE(f.saved().bindings.size(), 2u);
        QCOMPARE(reloads, 2);
    }

    void persistWithoutOnChangeOnlySaves() {
        QTemporaryDir dir;
        ConfigStore store(dir.path().toStdString());
        AppModel model(store);
        model.setCornerSensitivity(12);
        model.persist();
        QCOMPARE(store.config.cornerSensitivity, 12.0);
        std::ifstream file(dir.filePath("config.json").toStdString());
        QVERIFY(file.good());
    }

    void modelAnnouncesEveryChange() {
        QTemporaryDir dir;
        ConfigStore store(dir.path().toStdString());
        AppModel model(store);
        int changes = 0;
        int enabledChanges = 0;
        QObject::connect(&model, &AppModel::configChanged, [&] { ++changes; });
        QObject::connect(&model, &AppModel::globalEnabledChanged, [&] { ++enabledChanges; });
        model.setGlobalEnabled(false);
        model.setGlobalEnabled(false); // no change, no announcement
        model.setCornerSensitivity(std::nan(""));
        model.setCornerSensitivity(std::nan("")); // NaN stays NaN: no change either
        AppConfig cfg;
        cfg.bindings = {cornerBinding("a", ScreenCorner::topLeft)};
        model.setConfig(cfg);
        QVERIFY(!model.setBinding(5, cornerBinding("b", ScreenCorner::topLeft)));
        QCOMPARE(changes, 3);
        QCOMPARE(enabledChanges, 2);
    }

    void systemLogEchoesLiteralLinesWithATimeStamp() {
        std::FILE* echo = std::tmpfile();
        QVERIFY(echo != nullptr);
        {
            SystemLog log(echo);
            log.write("Tarnwick: corner Top-Left ran \"printf '%s %n'\" ok=true");
        }
        std::rewind(echo);
        char buffer[256] = {};
        QVERIFY(std::fgets(buffer, sizeof buffer, echo) != nullptr);
        std::fclose(echo);
        const QString line = QString::fromUtf8(buffer);
        // "2026-12-06T23:24:37.237 " then the line exactly, format characters and all.
        QVERIFY2(QRegularExpression(
                     QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3} "))
                     .match(line)
                     .hasMatch(),
                 qPrintable(line));
        QCOMPARE(line.mid(24),
                 QStringLiteral("Tarnwick: corner Top-Left ran \"printf '%s %n'\" ok=true\n"));
    }

    void recordingTakesTheNextKeyWithOurGrabsReleased() {
        AppConfig cfg;
        cfg.bindings = {hotkeyBinding("echo one", 17),
                        cornerBinding("echo two", ScreenCorner::topLeft)};
        Fixture f(cfg);
        f.delegate.applicationDidFinishLaunching();
        f.delegate.openSettings();
        HotkeyRecorder& recorder = f.delegate.settingsWindow()->recorder();
        const QString id = QString::fromStdString(f.model.config().bindings[1].id.toString());
        QCOMPARE(f.liveHotkeys(), 1u);

        // Pressing the button twice records nothing and saves nothing.
        const std::string before = f.fileText();
        recorder.toggle(id);
        QCOMPARE(f.liveHotkeys(), 0u);
        recorder.toggle(id);
        QCOMPARE(f.liveHotkeys(), 1u);
        QCOMPARE(f.fileText(), before);

        // Ctrl+Shift+T on the key at evdev code 20 (+8), swallowed.
        recorder.toggle(id);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier, 28,
                        0x54, 0, QStringLiteral("\x14"));
        QObject target;
        QVERIFY(QCoreApplication::sendEvent(&target, &press));
        QCOMPARE(recorder.recordingId(), QString());
        const AppConfig saved = f.saved();
        const Trigger& t = saved.bindings[1].trigger;
        QCOMPARE(t.kind, TriggerKind::corner); // only the hotkey changes
        QCOMPARE(t.corner, ScreenCorner::topLeft);
        QVERIFY(t.hotkey.has_value());
        QCOMPARE(t.hotkey->keyCode, 17u);
        QCOMPARE(t.hotkey->modifiers, 0x1200u);
        QCOMPARE(QString::fromStdString(t.hotkey->display), QStringLiteral("⌃⇧T"));
        QCOMPARE(f.liveHotkeys(), 1u);

        // The binding goes while recording: the key is not taken and nothing else changes.
        recorder.toggle(id);
        f.model.deleteBinding(f.model.config().bindings[1]);
        QKeyEvent another(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0x61, 0,
                          QStringLiteral("a"));
        QCoreApplication::sendEvent(&target, &another);
        QCOMPARE(f.saved().bindings.size(), 1u);
        QCOMPARE(f.saved().bindings[0].trigger.hotkey->keyCode, 17u);
        recorder.stop(id);
        QCOMPARE(f.liveHotkeys(), 1u);
    }

    void settingsWindowIsMadeOnceAndKept() {
        Fixture f;
        f.delegate.applicationDidFinishLaunching();
        QVERIFY(f.delegate.settingsWindow() == nullptr);
        f.delegate.openSettings();
        SettingsWindow* window = f.delegate.settingsWindow();
        QVERIFY(window != nullptr);
        QQuickView& view = window->view();
        QCOMPARE(view.status(), QQuickView::Ready);
        QCOMPARE(view.title(), QStringLiteral("Tarnwick"));
        QCOMPARE(view.size(), QSize(580, 580));
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QVERIFY(view.isVisible());
        view.close();
        QVERIFY(!view.isVisible());
        // Moved away from the centre: showing it again must not centre it anew.
        view.setPosition(40, 30);
        f.delegate.openSettings();
        QCOMPARE(f.delegate.settingsWindow(), window);
        QVERIFY(view.isVisible());
        QCOMPARE(view.position(), QPoint(40, 30));
        // Closing the window does not quit the application.
        QVERIFY(!QGuiApplication::quitOnLastWindowClosed());
    }
};

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    AppDelegateTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppDelegateTest.moc"
