// The delegate where the desktop watches the corners (KWin) or nothing can
// (Wayland without KWin): the corners it asks the desktop for, what the cards
// say, and that our own pointer watcher stays off.
#include "app/AppDelegate.h"
#include "config/ConfigJson.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"
#include "platform/kwin/KWinConfig.h"
#include "settings/AppModel.h"
#include "settings/BindingListModel.h"
#include "triggers/HotkeyManager.h"

#include "support/FakeDesktop.h"
#include "support/RecordingLogSink.h"
#include "support/Sandbox.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace tarnwick;

namespace {

CommandBinding corner(ScreenCorner which, const std::string& command, bool enabled = true) {
    return CommandBinding("corner", Trigger{TriggerKind::corner, which}, command, enabled);
}

struct Fixture {
    explicit Fixture(std::vector<CommandBinding> bindings) {
        AppConfig cfg;
        cfg.bindings = std::move(bindings);
        sandbox.writeConfig(*encodeConfig(cfg, JsonLayout::pretty));
        delegate.applicationDidFinishLaunching();
    }
    AppDelegate::Services services() {
        AppDelegate::Services s{store,   model,   hotkeys,
                                desktop, queue,   log,
                                nullptr, nullptr, std::chrono::milliseconds(0)};
        s.desktopCorners = [this](std::vector<ScreenCorner> corners) { asked.push_back(corners); };
        return s;
    }
    QString role(int row, int role) const { return list.data(list.index(row), role).toString(); }

    test::Sandbox sandbox;
    ConfigStore store{sandbox.configDirectory().string()};
    AppModel model{store};
    test::FakeDesktop desktop;
    test::RecordingLogSink log;
    QtMainQueue queue;
    HotkeyManager hotkeys{desktop.hotkeyService, queue, log};
    std::vector<std::vector<ScreenCorner>> asked;
    AppDelegate delegate{services()};
    BindingListModel list{model, queue, desktop.keys()};
};

} // namespace

class DesktopCornersTest : public QObject {
    Q_OBJECT

private slots:
    void kwinIsAskedForTheLiveCornersAndTheCardsSayWhatItDoes() {
        Fixture f({corner(ScreenCorner::topLeft, "true"), corner(ScreenCorner::bottomLeft, "true"),
                   corner(ScreenCorner::topRight, "true", false),
                   CommandBinding("stale", Trigger{TriggerKind::hotkey, ScreenCorner::bottomRight},
                                  "true")});
        QCOMPARE(f.desktop.pointerSource.liveHandlers(), 0u);
        using enum ScreenCorner;
        QCOMPARE(f.asked.back(), (std::vector<ScreenCorner>{topLeft, bottomLeft}));
        // The switch off: no corner is wanted.
        f.delegate.toggleEnabled();
        QVERIFY(f.asked.back().empty());

        // KWin's own action on a corner, and how its corners feel, on the cards.
        QSignalSpy changed(&f.list, &QAbstractItemModel::dataChanged);
        f.model.setCornerNotes(
            kwin::EdgeSettings{150, 350, 1, {"", "", "Show Desktop", ""}}.notes());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(f.role(1, BindingListModel::CornerProblemRole),
                 QStringLiteral("KWin uses this corner for Show Desktop"));
        QCOMPARE(f.role(0, BindingListModel::CornerProblemRole), QString());
        QVERIFY(f.role(0, BindingListModel::CornerNoteRole).startsWith("KWin fires it after"));
        QCOMPARE(f.model.cornerSizeNote(), QStringLiteral("decided by KWin"));
        // The problem follows the corner chosen.
        QVERIFY(f.list.setData(f.list.index(0), QStringLiteral("bottomLeft"),
                               BindingListModel::CornerRole));
        QCOMPARE(changed.back()[2].value<QList<int>>(),
                 (QList<int>{BindingListModel::CornerRole, BindingListModel::CornerProblemRole}));
        QCOMPARE(f.role(0, BindingListModel::CornerProblemRole),
                 f.role(1, BindingListModel::CornerProblemRole));
    }

    void withoutAWayToWatchCornersTheyStayButNothingRuns() {
        Fixture f({corner(ScreenCorner::topLeft, "true")});
        f.model.setCornerNotes(CornerNotes::unavailable());
        QCOMPARE(f.desktop.pointerSource.liveHandlers(), 0u);
        f.desktop.pointerSource.moveTo(Point{1, 799});
        QTest::qWait(300);
        QVERIFY(f.log.lines.empty());
        QCOMPARE(f.list.rowCount(), 1);
        QCOMPARE(f.role(0, BindingListModel::CornerProblemRole),
                 QStringLiteral("Hot corners are not available on this desktop"));
        QCOMPARE(f.role(0, BindingListModel::CornerNoteRole), QString());
        QVERIFY(!f.model.cornersAvailable());
        QCOMPARE(f.store.config.bindings.size(), 1u);
    }
};

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    DesktopCornersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopCornersTest.moc"
