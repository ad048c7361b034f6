#include "platform/x11/DisplayPump.h"

#include "platform/x11/Display.h"

#include <QAbstractEventDispatcher>
#include <QThread>

namespace tarnwick::x11 {

DisplayPump::DisplayPump(Display& display, std::function<void()> onLost, QObject* parent)
    : QObject(parent), m_display(display), m_onLost(std::move(onLost)),
      m_notifier(display.fileDescriptor(), QSocketNotifier::Read) {
    connect(&m_notifier, &QSocketNotifier::activated, this, [this] { pump(true); });
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { pump(false); });
    }
    pump(true);
}

void DisplayPump::pump(bool readSocket) {
    if (m_lost) {
        return;
    }
    if (readSocket) {
        m_display.processEvents();
    } else {
        m_display.processQueued();
    }
    if (m_display.connectionLost()) {
        m_lost = true;
        m_notifier.setEnabled(false);
        if (m_onLost) {
            m_onLost();
        }
    }
}

} // namespace tarnwick::x11
