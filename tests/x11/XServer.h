#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::x11 {
class Display;
}

namespace tarnwick::test {

// An X server of the test's own (Xvfb, or Xephyr nested in one), stopped
// when the object goes.
class XServer {
public:
    // Nothing when the server did not come up; why goes to stderr.
    static std::unique_ptr<XServer> startXvfb(const std::string& screen = "1280x800x24");
    // Xephyr inside host with the given arguments (-screen WxH, +xinerama, ...).
    static std::unique_ptr<XServer> startXephyr(const XServer& host,
                                                const std::vector<std::string>& args);

    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    const std::string& display() const { return m_display; }

    // Runs a shell command line with DISPLAY set to this server; its exit status.
    int run(const std::string& commandLine) const;

private:
    XServer(int pid, std::string display) : m_pid(pid), m_display(std::move(display)) {}
    static std::unique_ptr<XServer> start(const std::vector<std::string>& argv,
                                          const std::string& hostDisplay);

    int m_pid;
    std::string m_display;
};

// Calls display.processEvents() as the application's loop would, until done()
// holds or the timeout passes; whether done() held.
bool pumpUntil(x11::Display& display, const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));
// Keeps processing events for a while, for checks that nothing happens.
void pumpFor(x11::Display& display, std::chrono::milliseconds duration);

} // namespace tarnwick::test
