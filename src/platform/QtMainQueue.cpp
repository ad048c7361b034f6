#include "platform/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tarnwick {

void QtMainQueue::post(std::function<void()> fn) {
    // A command may finish after the application has gone: its completion is dropped.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
    }
}

} // namespace tarnwick
