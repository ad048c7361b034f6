#include "platform/QtMainQueue.h"

#include <QMetaObject>

namespace tarnwick {

QtMainQueue::QtMainQueue() : m_receiver(std::make_unique<QObject>()) {}

QtMainQueue::~QtMainQueue() {
    close();
}

void QtMainQueue::post(std::function<void()> fn) {
    // Under the lock: the receiver cannot go while work is being posted to it.
    const std::lock_guard lock(m_mutex);
    if (m_receiver) {
        QMetaObject::invokeMethod(m_receiver.get(), std::move(fn), Qt::QueuedConnection);
    }
}

void QtMainQueue::close() {
    const std::lock_guard lock(m_mutex);
    // Its pending events go with it.
    m_receiver.reset();
}

} // namespace tarnwick
