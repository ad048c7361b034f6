#include "settings/SettingsWindow.h"

#include "services/WindowEffects.h"
#include "settings/AppModel.h"
#include "settings/BindingListModel.h"
#include "settings/HotkeyRecorder.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QSGRendererInterface>
#include <QScreen>
#include <QSurfaceFormat>

#include <algorithm>

// Made by qt_add_qml_module; called so that the linker keeps the module's types.
void qml_register_types_Tarnwick_Settings();

namespace tarnwick {
namespace {

Q_LOGGING_CATEGORY(lcSettings, "tarnwick.settings", QtWarningMsg)

const QUrl viewUrl(QStringLiteral("qrc:/Tarnwick/Settings/SettingsView.qml"));

} // namespace

SettingsWindow::SettingsWindow(Services services)
    : m_effects(services.effects), m_bindings(std::make_unique<BindingListModel>(
                                       services.model, services.mainQueue, services.keys)),
      m_recorder(std::make_unique<HotkeyRecorder>(*m_bindings, services.keys)) {
    qml_register_types_Tarnwick_Settings();
    if (services.onRecording) {
        QObject::connect(
            m_recorder.get(), &HotkeyRecorder::recordingRowChanged, m_recorder.get(),
            [recorder = m_recorder.get(), onRecording = std::move(services.onRecording),
             was = false]() mutable {
                // Told of changes only: the row may just have moved.
                if (const bool now = recorder->recordingRow() >= 0; now != was) {
                    was = now;
                    onRecording(now);
                }
            });
    }
    // The software scene graph: a fraction of the OpenGL one's memory, and
    // the same picture on every machine.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    m_engine = std::make_unique<QQmlEngine>();
    // Where the module's views find the module itself, with its C++ types.
    m_engine->addImportPath(QStringLiteral("qrc:/"));
    m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
    m_recorder->setWindow(m_view.get());
    // Text typed but not yet confirmed is kept when the window or the program goes.
    QObject::connect(m_view.get(), &QWindow::visibleChanged, m_bindings.get(),
                     [bindings = m_bindings.get(), onHidden = services.onHidden](bool visible) {
                         if (!visible) {
                             bindings->persistEdits();
                             if (onHidden) {
                                 onHidden();
                             }
                         }
                     });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_bindings.get(),
                     &BindingListModel::persistEdits);
    // Always with alpha: a compositor may start or stop while the window lives.
    QSurfaceFormat format = m_view->format();
    format.setAlphaBufferSize(8);
    m_view->setFormat(format);
    m_view->setColor(Qt::transparent);
    m_view->setTitle(QStringLiteral("Tarnwick"));
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->setMinimumSize(QSize(side, minimumHeight));
    m_view->setMaximumSize(QSize(side, side));
    const bool translucent = m_effects.translucencyAvailable();
    m_view->setInitialProperties(
        {{QStringLiteral("appModel"), QVariant::fromValue(&services.model)},
         {QStringLiteral("bindings"), QVariant::fromValue(m_bindings.get())},
         {QStringLiteral("recorder"), QVariant::fromValue(m_recorder.get())},
         {QStringLiteral("translucent"), translucent}});
    m_view->setSource(viewUrl);
    for (const QQmlError& error : m_view->errors()) {
        qCWarning(lcSettings).noquote() << error.toString();
    }
    if (QQuickItem* root = m_view->rootObject()) {
        QQuickView* view = m_view.get();
        QObject::connect(root, SIGNAL(closeRequested()), view, SLOT(close()));
        QObject::connect(root, SIGNAL(moveRequested()), view, SLOT(startSystemMove()));
        // Queued, as the menu's Quit: the key's handler finishes first.
        QObject::connect(root, SIGNAL(quitRequested()), qApp, SLOT(quit()), Qt::QueuedConnection);
    }
    setTranslucent(translucent);
    m_effects.watchTranslucency([this](bool available) { setTranslucent(available); });
    place();
    // The frame is known once the window manager has framed the window and
    // given it the focus: if the whole does not fit then, it is placed again.
    QObject::connect(
        m_view.get(), &QWindow::activeChanged, m_view.get(),
        [this] {
            const QScreen* screen = m_view->screen();
            if (screen != nullptr && !m_view->frameMargins().isNull() &&
                !screen->availableGeometry().contains(m_view->frameGeometry())) {
                place();
            }
        },
        Qt::SingleShotConnection);
}

SettingsWindow::~SettingsWindow() {
    m_effects.watchTranslucency({});
    m_recorder->setWindow(nullptr);
    // Going is not closing: nobody is told.
    QObject::disconnect(m_view.get(), nullptr, m_bindings.get(), nullptr);
    // The view goes before the engine that made its items, and both before
    // the objects the view's items refer to.
    m_view.reset();
    m_engine.reset();
}

// Centred in the screen's free area, as tall as fits there, frame included.
void SettingsWindow::place() {
    const QScreen* screen = m_view->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const QMargins frame = m_view->frameMargins();
    const int height =
        std::clamp(area.height() - frame.top() - frame.bottom(), minimumHeight, side);
    m_view->resize(side, height);
    m_view->setPosition(
        area.center() + QPoint(frame.left(), frame.top()) -
        QPoint(side + frame.left() + frame.right(), height + frame.top() + frame.bottom()) / 2);
}

void SettingsWindow::setTranslucent(bool translucent) {
    if (QQuickItem* root = m_view->rootObject()) {
        root->setProperty("translucent", translucent);
    }
    if (translucent) {
        m_effects.blurBehind(static_cast<std::uint64_t>(m_view->winId()));
    }
}

bool SettingsWindow::loaded() const {
    return m_view->status() == QQuickView::Ready;
}

void SettingsWindow::present() {
    if (!loaded()) {
        // An empty frame would look like a window with nothing to set.
        if (!m_failure) {
            QString details;
            for (const QQmlError& error : m_view->errors()) {
                details += error.toString() + QLatin1Char('\n');
            }
            auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Tarnwick"),
                                        QStringLiteral("The settings window could not be loaded."));
            box->setDetailedText(details);
            m_failure.reset(box);
        }
        m_failure->show();
        m_failure->raise();
        return;
    }
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

} // namespace tarnwick

// The plugin's entry point (see SettingsPanel.h).
extern "C" Q_DECL_EXPORT tarnwick::SettingsPanel*
tarnwick_make_settings_panel(const tarnwick::SettingsPanel::Services& services) {
    return new tarnwick::SettingsWindow(services);
}
