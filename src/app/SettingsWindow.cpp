#include "app/SettingsWindow.h"

#include "app/AppModel.h"
#include "app/BindingListModel.h"
#include "platform/x11/Compositor.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QScreen>
#include <QSurfaceFormat>

namespace tarnwick {

SettingsWindow::SettingsWindow(Services services)
    : m_bindings(std::make_unique<BindingListModel>(services.model, services.mainQueue)),
      m_recorder(
          std::make_unique<HotkeyRecorder>(*m_bindings, std::move(services.keyTranslation))) {
    if (services.onRecording) {
        QObject::connect(
            m_recorder.get(), &HotkeyRecorder::recordingIdChanged, m_recorder.get(),
            [recorder = m_recorder.get(), onRecording = std::move(services.onRecording)] {
                onRecording(!recorder->recordingId().isEmpty());
            });
    }
    // The software scene graph: a fraction of the OpenGL one's memory, and
    // the same picture on every machine.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    m_engine = std::make_unique<QQmlEngine>();
    m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
    // Only a compositor can show what lies behind the window.
    const bool translucent =
        services.display != nullptr && x11::compositorRunning(*services.display);
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
    m_view->setSource(QUrl(QStringLiteral("qrc:/Tarnwick/Settings/SettingsView.qml")));
    if (translucent) {
        x11::askForBlurBehind(*services.display, static_cast<std::uint32_t>(m_view->winId()));
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_view->setPosition(screen->availableGeometry().center() - QPoint(side / 2, side / 2));
    }
}

SettingsWindow::~SettingsWindow() {
    // The view goes before the engine that made its items, and both before
    // the objects the view's items refer to.
    m_view.reset();
    m_engine.reset();
}

void SettingsWindow::present() {
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

} // namespace tarnwick
