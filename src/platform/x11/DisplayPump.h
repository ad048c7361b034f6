#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>

namespace tarnwick::x11 {

class Display;

// Reads an X11 Display on the Qt main thread: when its socket is readable,
// and what is already queued before the loop blocks (a reply may have
// queued events without the socket showing it).
class DisplayPump final : public QObject {
    Q_OBJECT
public:
    // onLost is called once if the X server goes away.
    DisplayPump(x11::Display& display, std::function<void()> onLost, QObject* parent = nullptr);

private:
    void pump(bool readSocket);

    x11::Display& m_display;
    std::function<void()> m_onLost;
    QSocketNotifier m_notifier;
    bool m_lost = false;
};

} // namespace tarnwick::x11
