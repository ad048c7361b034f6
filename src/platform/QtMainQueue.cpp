#include "platform/QtMainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tarnwick {

void QtMainQueue::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

} // namespace tarnwick
