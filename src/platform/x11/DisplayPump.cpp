#include "platform/x11/DisplayPump.h"

#include "platform/x11/Display.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include <chrono>

namespace tarnwick::x11 {

DisplayPump::DisplayPump(Display& display, std::function<void()> onLost, QObject* parent)
    : QObject(parent), m_display(display), m_onLost(std::move(onLost)),
      m_notifier(display.fileDescriptor(), QSocketNotifier::Read) {
    m_resume.setSingleShot(true);
    // A hold-off is a few milliseconds: a coarse timer could stretch it.
    m_resume.setTimerType(Qt::PreciseTimer);
    connect(&m_notifier, &QSocketNotifier::activated, this, &DisplayPump::pump);
    connect(&m_resume, &QTimer::timeout, this, &DisplayPump::pump);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread())) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &DisplayPump::pump);
    }
    pump();
}

void DisplayPump::pump() {
    if (m_lost || m_resume.isActive()) {
        return;
    }
    m_display.processEvents();
    if (m_display.connectionLost()) {
        m_lost = true;
        m_notifier.setEnabled(false);
        if (m_onLost) {
            m_onLost();
        }
        return;
    }
    const auto until = m_display.readingHeldUntil();
    // Not watched while held: the socket would stay readable and spin the
    // loop. Left as it is while one hold follows another.
    m_notifier.setEnabled(!until);
    if (until) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(*until - Display::Clock::now());
        m_resume.start(std::max<std::chrono::milliseconds>(left, std::chrono::milliseconds(0)));
    }
}

} // namespace tarnwick::x11
