#pragma once

#include "support/Process.h"
#include "support/Sandbox.h"

#include <fstream>

namespace tarnwick::test {

// A session bus policy of the test's own: anyone may own and call anything,
// and with no service directories nothing gets activated. The file's path.
inline std::string writeBusConfig(const Sandbox& sandbox) {
    const auto config = sandbox.root() / "bus.conf";
    std::ofstream(config) << "<busconfig><type>session</type><listen>unix:dir="
                          << sandbox.root().string() << "</listen><auth>EXTERNAL</auth>"
                          << "<policy context=\"default\"><allow send_destination=\"*\"/>"
                          << "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
                          << "</busconfig>";
    return config.string();
}

// gdbus (in a UTF-8 locale) on the bus at address: a method of an object of a name.
inline Finished gdbusCall(const Sandbox& sandbox, const std::string& address,
                          const std::string& name, const std::string& path,
                          const std::string& method, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"gdbus", "call", "--address=" + address, "--dest=" + name};
    argv.insert(argv.end(), {"--object-path=" + path, "--method=" + method, "--"});
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return Process::runToEnd(argv, sandbox.environment({{"LC_ALL", "C.UTF-8"}}),
                             std::chrono::seconds(30));
}

// A dbus-daemon of that policy; address is empty when it did not start.
struct SessionBus {
    explicit SessionBus(const Sandbox& sandbox) : m_sandbox(sandbox) {
        daemon = Process::spawn({"dbus-daemon", "--nofork", "--print-address=1",
                                 "--config-file=" + writeBusConfig(sandbox)},
                                sandbox.environment(), sandbox.root() / "bus.err");
        if (auto line = daemon ? daemon->readLine(std::chrono::seconds(30)) : std::nullopt) {
            address = *line;
        }
    }
    Finished call(const std::string& name, const std::string& path, const std::string& method,
                  const std::vector<std::string>& arguments = {}) const {
        return gdbusCall(m_sandbox, address, name, path, method, arguments);
    }

    const Sandbox& m_sandbox;
    std::unique_ptr<Process> daemon;
    std::string address;
};

} // namespace tarnwick::test
