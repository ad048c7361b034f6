#include "app/BindingListModel.h"
#include "app/AppModel.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

namespace {

CommandBinding corner(const std::string& command, ScreenCorner c) {
    return CommandBinding("n-" + command, Trigger{TriggerKind::corner, c}, command);
}

} // namespace

class BindingListModelTest : public QObject {
    Q_OBJECT

    struct Setup {
        QTemporaryDir dir;
        ConfigStore store{dir.path().toStdString()};
        AppModel model{store};
        QtMainQueue queue;
        int saves = 0;
        Setup() {
            AppConfig cfg;
            cfg.bindings = {corner("a", ScreenCorner::topLeft),
                            corner("b", ScreenCorner::bottomRight)};
            model.setConfig(cfg);
            model.onChange = [this] { ++saves; };
        }
    };

private slots:
    void rowsAndRolesReadTheBindings() {
        Setup s;
        BindingListModel list(s.model, s.queue);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(list.rowCount(), 2);
        const QModelIndex first = list.index(0);
        QCOMPARE(list.data(first, BindingListModel::NameRole).toString(), QStringLiteral("n-a"));
        QCOMPARE(list.data(first, BindingListModel::KindRole).toString(), QStringLiteral("corner"));
        QCOMPARE(list.data(first, BindingListModel::CornerRole).toString(),
                 QStringLiteral("topLeft"));
        QCOMPARE(list.data(first, BindingListModel::HotkeyDisplayRole).toString(), QString());
        QCOMPARE(list.data(first, BindingListModel::EnabledRole).toBool(), true);
        QCOMPARE(list.rowOf(list.data(list.index(1), BindingListModel::IdRole).toString()), 1);
        QCOMPARE(list.rowOf(QStringLiteral("no such id")), -1);
        QVERIFY(!list.data(list.index(7), BindingListModel::NameRole).isValid());
    }

    void editsWriteInPlaceWithoutSaving() {
        Setup s;
        BindingListModel list(s.model, s.queue);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(list.setField(0, QStringLiteral("name"), QStringLiteral("renamed")));
        QVERIFY(list.setField(0, QStringLiteral("command"), QStringLiteral("echo é")));
        QVERIFY(list.setField(0, QStringLiteral("enabled"), false));
        QCOMPARE(s.model.config().bindings[0].name, std::string("renamed"));
        QCOMPARE(s.model.config().bindings[0].command, std::string("echo é"));
        QCOMPARE(s.model.config().bindings[0].enabled, false);
        QCOMPARE(s.saves, 0);
        // Switching the kind keeps the stored corner, and back again.
        QVERIFY(list.setField(0, QStringLiteral("kind"), QStringLiteral("hotkey")));
        QVERIFY(list.setHotkey(0, 17, 2304, QStringLiteral("⌥⌘T")));
        QVERIFY(list.setField(0, QStringLiteral("kind"), QStringLiteral("corner")));
        const Trigger& t = s.model.config().bindings[0].trigger;
        QCOMPARE(t.kind, TriggerKind::corner);
        QCOMPARE(t.corner, ScreenCorner::topLeft);
        QCOMPARE(t.hotkey->display, std::string("⌥⌘T"));
        // Nonsense is refused and changes nothing.
        QVERIFY(!list.setField(0, QStringLiteral("kind"), QStringLiteral("Hotkey")));
        QVERIFY(!list.setField(0, QStringLiteral("corner"), QStringLiteral("middle")));
        QVERIFY(!list.setField(0, QStringLiteral("bindingId"), QStringLiteral("x")));
        QVERIFY(!list.setField(9, QStringLiteral("name"), QStringLiteral("x")));
        QVERIFY(!list.setHotkey(9, 1, 0, QStringLiteral("x")));
        QVERIFY(!list.setHotkey(0, -1, 0, QStringLiteral("x")));
        list.persist();
        QCOMPARE(s.saves, 1);
        QCOMPARE(s.store.config.bindings[0].name, std::string("renamed"));
    }

    void addAndRemoveMoveSingleRows() {
        Setup s;
        BindingListModel list(s.model, s.queue);
        QAbstractItemModelTester tester(&list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&list, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&list, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&list, &QAbstractItemModel::modelReset);
        list.add();
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(inserted[0][1].toInt(), 2);
        QCOMPARE(list.data(list.index(2), BindingListModel::CommandRole).toString(),
                 QStringLiteral("notify-send hello"));
        list.remove(0);
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(removed.size(), 1);
        QCOMPARE(removed[0][1].toInt(), 0);
        QCOMPARE(list.data(list.index(0), BindingListModel::CommandRole).toString(),
                 QStringLiteral("b"));
        list.remove(5); // out of range: nothing
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(s.saves, 2);
        // A whole new configuration resets the list.
        s.model.setConfig(AppConfig{});
        QCOMPARE(reset.size(), 1);
        QCOMPARE(list.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(BindingListModelTest)

#include "BindingListModelTest.moc"
