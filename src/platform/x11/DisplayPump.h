#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>

namespace tarnwick::x11 {

class Display;

// Reads an X11 Display on the Qt main thread: when its socket is readable,
// before the loop blocks (a reply may have queued events without the socket
// showing it), and when a hold-off of reading ends.
class DisplayPump final : public QObject {
    Q_OBJECT
public:
    // onLost is called once if the X server goes away.
    DisplayPump(x11::Display& display, std::function<void()> onLost, QObject* parent = nullptr);

private:
    void pump();

    x11::Display& m_display;
    std::function<void()> m_onLost;
    QSocketNotifier m_notifier;
    QTimer m_resume;
    bool m_lost = false;
};

} // namespace tarnwick::x11
