#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace tarnwick::x11 {

class EventListener;

// Our own connection to the X server, read on the main thread: the owner
// calls processEvents() when fileDescriptor() is readable, and
// processQueued() before its loop blocks (a reply can queue events, and
// other replies, without the socket becoming readable again).
class Display {
public:
    struct Opened;

    // Connects to name, or to $DISPLAY when name is empty.
    static Opened open(const std::string& name = {});

    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    int fileDescriptor() const;
    // Reads what the socket holds, tells each listener of every event, then
    // tells each that the batch has ended (even an empty one: a reply may
    // have come); repeats while that work queued more. Never blocks.
    void processEvents();
    // The same for what an earlier read left queued, without reading.
    void processQueued();

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
    void process(bool readSocket);
    bool drain(bool readSocket);

    xcb_connection_t* m_connection;
    std::uint32_t m_root;
    std::string m_name;
    std::vector<EventListener*> m_listeners;
};

struct Display::Opened {
    std::unique_ptr<Display> display;
    // Why there is none, for one line in the log.
    std::string error;
};

} // namespace tarnwick::x11
