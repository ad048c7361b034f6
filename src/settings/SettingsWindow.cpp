#include "settings/SettingsWindow.h"

#include "services/WindowEffects.h"
#include "settings/AppModel.h"
#include "settings/BindingListModel.h"
#include "settings/HotkeyRecorder.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QQmlEngine>
#include <QQuickView>
#include <QSGRendererInterface>
#include <QScreen>
#include <QSurfaceFormat>

// Made by qt_add_qml_module; called so that the linker keeps the module's types.
void qml_register_types_Tarnwick_Settings();

namespace tarnwick {
namespace {

Q_LOGGING_CATEGORY(lcSettings, "tarnwick.settings", QtWarningMsg)

const QUrl viewUrl(QStringLiteral("qrc:/Tarnwick/Settings/SettingsView.qml"));

} // namespace

SettingsWindow::SettingsWindow(Services services)
    : m_bindings(std::make_unique<BindingListModel>(services.model, services.mainQueue)),
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
    // Only a compositor can show what lies behind the window.
    const bool translucent = services.effects.translucencyAvailable();
    if (translucent) {
        QSurfaceFormat format = m_view->format();
        format.setAlphaBufferSize(8);
        m_view->setFormat(format);
        m_view->setColor(Qt::transparent);
    } else {
        m_view->setColor(QColor(0x1c, 0x1c, 0x21));
    }
    m_view->setTitle(QStringLiteral("Tarnwick"));
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    const QSize size(side, side);
    m_view->resize(size);
    m_view->setMinimumSize(size);
    m_view->setMaximumSize(size);
    m_view->setInitialProperties(
        {{QStringLiteral("appModel"), QVariant::fromValue(&services.model)},
         {QStringLiteral("bindings"), QVariant::fromValue(m_bindings.get())},
         {QStringLiteral("recorder"), QVariant::fromValue(m_recorder.get())},
         {QStringLiteral("translucent"), translucent}});
    m_view->setSource(viewUrl);
    for (const QQmlError& error : m_view->errors()) {
        qCWarning(lcSettings).noquote() << error.toString();
    }
    if (translucent) {
        services.effects.blurBehind(static_cast<std::uint64_t>(m_view->winId()));
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_view->setPosition(screen->availableGeometry().center() - QPoint(side / 2, side / 2));
    }
}

SettingsWindow::~SettingsWindow() {
    m_recorder->setWindow(nullptr);
    // Going is not closing: nobody is told.
    QObject::disconnect(m_view.get(), nullptr, m_bindings.get(), nullptr);
    // The view goes before the engine that made its items, and both before
    // the objects the view's items refer to.
    m_view.reset();
    m_engine.reset();
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
