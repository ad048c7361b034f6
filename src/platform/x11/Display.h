#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace tarnwick::x11 {

class EventListener;

// Our own connection to the X server, read on the main thread: the owner
// watches fileDescriptor() and calls processEvents() when it is readable and
// before its loop blocks (a reply can queue events without the socket
// becoming readable again). While readingHeldUntil() names a time, the owner
// stops watching the socket and calls processEvents() again at that time.
class Display {
public:
    using Clock = std::chrono::steady_clock;

    struct Opened;

    // Connects to name, or to $DISPLAY when name is empty.
    static Opened open(const std::string& name = {});

    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    int fileDescriptor() const;
    // Drains every queued event, tells each listener, then tells each that the
    // batch has ended; repeats while that work queued more. Never blocks.
    void processEvents();
    // Lets events pile up for a while so that a stream of them (a 1 kHz
    // mouse) is handled as one batch, not one wakeup each.
    void holdOffReading(std::chrono::milliseconds interval);
    // When reading may resume, while it is held off.
    std::optional<Clock::time_point> readingHeldUntil() const;

    // Waits until the server has handled every request sent so far.
    void sync();
    // True once the server has gone; nothing more arrives.
    bool connectionLost() const;

    xcb_connection_t* connection() const { return m_connection; }
    std::uint32_t rootWindow() const { return m_root; }
    const std::string& name() const { return m_name; }

    // Listeners are added and removed outside event handling.
    void addListener(EventListener& listener);
    void removeListener(EventListener& listener);

private:
    Display(xcb_connection_t* connection, std::uint32_t root, std::string name);
    bool drainQueued(bool readSocket);
    void endBatch();

    xcb_connection_t* m_connection;
    std::uint32_t m_root;
    std::string m_name;
    std::vector<EventListener*> m_listeners;
    Clock::time_point m_holdUntil{};
};

struct Display::Opened {
    std::unique_ptr<Display> display;
    // Why there is none, for one line in the log.
    std::string error;
};

} // namespace tarnwick::x11
