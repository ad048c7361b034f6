// Runs tst_*.qml with the settings view's C++ objects over a throwaway config.
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"
#include "settings/AppModel.h"
#include "settings/BindingListModel.h"
#include "settings/HotkeyRecorder.h"

#include "support/FakeDesktop.h"
#include "support/Sandbox.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQuickTest>

void qml_register_types_Tarnwick_Settings();

using namespace tarnwick;

// What the tests reach besides the three objects: the save count, a fresh
// configuration, and key presses with the X keycode QTest cannot give.
class Probe final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int saves MEMBER m_saves NOTIFY savesChanged)

public:
    Probe()
        : store(sandbox.configDirectory().string()), model(store),
          list(model, queue, desktop.keys()), recorder(list, desktop.keys()) {
        model.onChange = [this] {
            ++m_saves;
            emit savesChanged();
        };
    }

    Q_INVOKABLE void reset(bool seeded) {
        recorder.stop(recorder.recordingRow());
        model.setDesktopShortcuts({});
        model.setConfig(seeded ? ConfigStore::seed() : AppConfig{});
        m_saves = 0;
        emit savesChanged();
    }
    Q_INVOKABLE QVariant field(int row, const QString& role) const {
        return list.data(list.index(row), list.roleNames().key(role.toUtf8()));
    }
    // What the delegate's reload would find for the row's hotkey: "taken" or "shared".
    Q_INVOKABLE void conflict(int row, const QString& kind, const QString& otherName) {
        std::vector<HotkeyConflict> conflicts(static_cast<std::size_t>(row) + 1);
        conflicts.back() = {kind == QLatin1String("taken") ? HotkeyConflict::Kind::taken
                                                           : HotkeyConflict::Kind::shared,
                            otherName.toStdString()};
        model.setHotkeyConflicts(std::move(conflicts));
    }
    // What the delegate would make of the desktop's answers: "used" with the
    // key given to each binding id, or "unavailable".
    Q_INVOKABLE void desktopShortcuts(const QString& state, const QVariantMap& assigned) {
        DesktopShortcuts shortcuts{state == QLatin1String("used")
                                       ? DesktopShortcuts::State::used
                                       : DesktopShortcuts::State::unavailable,
                                   {}};
        for (auto it = assigned.begin(); it != assigned.end(); ++it) {
            shortcuts.assigned[it.key().toStdString()] = it.value().toString().toStdString();
        }
        model.setDesktopShortcuts(std::move(shortcuts));
    }
    Q_INVOKABLE QString clipboard() const { return QGuiApplication::clipboard()->text(); }
    // What the desktop says of corners; heldBy is the top-left corner's.
    Q_INVOKABLE void cornerNotes(bool available, const QString& behaviour, const QString& heldBy,
                                 const QString& size) {
        model.setCornerNotes(CornerNotes{available, behaviour.toStdString(),
                                         {heldBy.toStdString(), "", "", ""}, size.toStdString()});
    }
    // The recorder takes the keys of the window the view is in.
    Q_INVOKABLE void watch(QQuickItem* view) { recorder.setWindow(view->window()); }
    // A key press as X delivers it, with its keycode, to the item's window.
    Q_INVOKABLE void nativeKeyPress(QQuickItem* item, int key, int modifiers, int scanCode,
                                    const QString& text) {
        const auto mods = Qt::KeyboardModifiers::fromInt(
            static_cast<QFlags<Qt::KeyboardModifier>::Int>(modifiers));
        for (auto type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, key, mods, static_cast<quint32>(scanCode), 0, 0, text);
            QCoreApplication::sendEvent(item->window(), &event);
        }
    }

    test::Sandbox sandbox;
    test::FakeDesktop desktop;
    ConfigStore store;
    AppModel model;
    QtMainQueue queue;
    BindingListModel list;
    HotkeyRecorder recorder;

signals:
    void savesChanged();

private:
    int m_saves = 0;
};

class Setup final : public QObject {
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        qml_register_types_Tarnwick_Settings();
        engine->addImportPath(QStringLiteral("qrc:/"));
        auto* probe = new Probe;
        probe->setParent(engine);
        QQmlContext* context = engine->rootContext();
        context->setContextProperty(QStringLiteral("probe"), probe);
        context->setContextProperty(QStringLiteral("appModel"), &probe->model);
        context->setContextProperty(QStringLiteral("bindings"), &probe->list);
        context->setContextProperty(QStringLiteral("recorder"), &probe->recorder);
    }
};

QUICK_TEST_MAIN_WITH_SETUP(settings_qml, Setup)

#include "SettingsQmlTest.moc"
