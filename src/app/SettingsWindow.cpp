#include "app/SettingsWindow.h"

#include "app/AppModel.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickView>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QScreen>

namespace tarnwick {

SettingsWindow::SettingsWindow(AppModel& model) {
    // The software scene graph: a fraction of the OpenGL one's memory, and
    // the same picture on every machine.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    m_engine = std::make_unique<QQmlEngine>();
    m_view = std::make_unique<QQuickView>(m_engine.get(), nullptr);
    m_view->setTitle(QStringLiteral("Tarnwick"));
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->setColor(Qt::transparent);
    const QSize size(side, side);
    m_view->resize(size);
    m_view->setMinimumSize(size);
    m_view->setMaximumSize(size);
    m_view->setInitialProperties({{QStringLiteral("appModel"), QVariant::fromValue(&model)}});
    m_view->setSource(QUrl(QStringLiteral("qrc:/Tarnwick/Settings/SettingsView.qml")));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        m_view->setPosition(screen->availableGeometry().center() - QPoint(side / 2, side / 2));
    }
}

SettingsWindow::~SettingsWindow() {
    // The view goes before the engine that made its items.
    m_view.reset();
}

void SettingsWindow::present() {
    m_view->show();
    m_view->raise();
    m_view->requestActivate();
}

} // namespace tarnwick
