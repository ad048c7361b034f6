#pragma once

#include "support/Process.h"

#include <memory>
#include <string>
#include <vector>

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

    const std::string& display() const { return m_display; }

    // Runs a command line through sh with DISPLAY set to this server and
    // nothing else of the test's environment but PATH; its exit code.
    int run(const std::string& commandLine) const;

private:
    static std::unique_ptr<XServer> start(std::vector<std::string> argv,
                                          const std::string& hostDisplay);

    std::unique_ptr<Process> m_process;
    std::string m_display;
};

} // namespace tarnwick::test
