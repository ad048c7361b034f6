// Runs tst_*.qml with the settings view's C++ objects over a throwaway config.
#include "app/AppModel.h"
#include "app/BindingListModel.h"
#include "app/HotkeyRecorder.h"
#include "config/ConfigStore.h"
#include "platform/QtMainQueue.h"
#include "platform/x11/KeyTable.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

using namespace tarnwick;

namespace {

// X keycodes are evdev codes + 8; the table speaks evdev.
std::optional<std::uint32_t> translate(std::uint32_t scanCode) {
    if (scanCode < 8) {
        return std::nullopt;
    }
    const auto key = x11::keyForEvdevCode(scanCode - 8);
    return key ? std::optional<std::uint32_t>(key->virtualKey) : std::nullopt;
}

} // namespace

// What the tests reach besides the three objects: the save count, config
// resets, and key presses with the X keycode QTest cannot give.
class Probe final : public QObject {
    Q_OBJECT
    Q_PROPERTY(int saves READ saves NOTIFY savesChanged)
    Q_PROPERTY(QString screenshotDir READ screenshotDir CONSTANT)

public:
    Probe()
        : store(dir.path().toStdString()), model(store), list(model, queue), recorder(list, translate) {
        model.onChange = [this] {
            ++m_saves;
            emit savesChanged();
        };
    }

    int saves() const { return m_saves; }
    QString screenshotDir() const { return QStringLiteral(SCREENSHOT_DIR); }

    Q_INVOKABLE void useEmpty() { reset(AppConfig{}); }
    Q_INVOKABLE void useSeed() { reset(ConfigStore::seed()); }
    Q_INVOKABLE void resetSaves() {
        m_saves = 0;
        emit savesChanged();
    }
    Q_INVOKABLE QVariant field(int row, const QString& roleName) const {
        const QByteArray wanted = roleName.toUtf8();
        const auto roles = list.roleNames();
        for (auto it = roles.begin(); it != roles.end(); ++it) {
            if (it.value() == wanted) {
                return list.data(list.index(row), it.key());
            }
        }
        return {};
    }
    Q_INVOKABLE qint64 fileSize(const QString& path) const { return QFileInfo(path).size(); }
    Q_INVOKABLE void removeFile(const QString& path) const { QFile::remove(path); }
    // A key press as X delivers it, with its keycode, to the item's window.
    Q_INVOKABLE void nativeKeyPress(QQuickItem* item, int key, int modifiers, int scanCode,
                                    const QString& text) {
        if (item == nullptr || item->window() == nullptr) {
            return;
        }
        const auto mods = Qt::KeyboardModifiers::fromInt(static_cast<QFlags<Qt::KeyboardModifier>::Int>(modifiers));
        QKeyEvent press(QEvent::KeyPress, key, mods, static_cast<quint32>(scanCode), 0, 0, text);
        QCoreApplication::sendEvent(item->window(), &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, static_cast<quint32>(scanCode), 0, 0, text);
        QCoreApplication::sendEvent(item->window(), &release);
    }

    QTemporaryDir dir;
    ConfigStore store;
    AppModel model;
    QtMainQueue queue;
    BindingListModel list;
    HotkeyRecorder recorder;

signals:
    void savesChanged();

private:
    void reset(AppConfig config) {
        recorder.stop(recorder.recordingId());
        model.setConfig(std::move(config));
        resetSaves();
    }

    int m_saves = 0;
};

class Setup final : public QObject {
    Q_OBJECT
public slots:
    void qmlEngineAvailable(QQmlEngine* engine) {
        // Fresh objects per engine, owned by it.
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
