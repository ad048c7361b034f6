#pragma once

#include "support/Eventually.h"
#include "support/Process.h"
#include "support/Sandbox.h"

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::test {

// A real KWin of the test's own: kwin_x11 on the test's X server, on a
// private session bus, its home in the sandbox, with the kwinrc given in
// place before it starts.
class KWinSession {
public:
    static constexpr auto kDeadline = std::chrono::seconds(30);
    static constexpr const char* kPlugin = "io.github.tarnwick.Tarnwick.corners";

    // Nothing when a part did not come up; why goes to stderr. busConfig: the
    // policy file of the private bus.
    static std::unique_ptr<KWinSession> start(const Sandbox& sandbox, const std::string& display,
                                              const std::string& busConfig,
                                              const std::string& kwinrc) {
        std::unique_ptr<KWinSession> session(new KWinSession(sandbox, display));
        std::filesystem::create_directories(sandbox.root() / "config");
        std::ofstream(sandbox.root() / "config" / "kwinrc") << kwinrc;
        session->m_bus = Process::spawn(
            {"dbus-daemon", "--nofork", "--print-address=1", "--config-file=" + busConfig},
            sandbox.environment(), sandbox.root() / "bus.err");
        const auto address = session->m_bus ? session->m_bus->readLine(kDeadline) : std::nullopt;
        if (!address) {
            std::fprintf(stderr, "no bus for KWin\n");
            return nullptr;
        }
        session->m_address = *address;
        session->m_kwin =
            Process::spawn({"kwin_x11"}, session->environment(), sandbox.root() / "kwin.err");
        if (!session->m_kwin || !eventually([&] { return session->kwinUp(); }, kDeadline)) {
            std::fprintf(stderr, "KWin did not come up:\n%s\n",
                         readWholeFile(sandbox.root() / "kwin.err").c_str());
            return nullptr;
        }
        return session;
    }

    const std::string& address() const { return m_address; }
    // The sandbox's, with this display and bus.
    std::vector<std::string> environment(std::map<std::string, std::string> extra = {}) const {
        extra.emplace("DISPLAY", m_display);
        extra.emplace("DBUS_SESSION_BUS_ADDRESS", m_address);
        return m_sandbox.environment(extra);
    }

    // gdbus on the bus: a method of an object of a name, with its arguments.
    Finished call(const std::string& name, const std::string& path, const std::string& method,
                  const std::vector<std::string>& arguments = {}) const {
        std::vector<std::string> argv{"gdbus",
                                      "call",
                                      "--address=" + m_address,
                                      "--dest=" + name,
                                      "--object-path=" + path,
                                      "--method=" + method,
                                      "--"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return Process::runToEnd(argv, m_sandbox.environment(), kDeadline);
    }
    Finished scripting(const std::string& method, const std::vector<std::string>& arguments) const {
        return call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting." + method, arguments);
    }
    bool scriptLoaded() const {
        return scripting("isScriptLoaded", {kPlugin}).output == "(true,)\n";
    }
    // KWin takes its name before its scripting object is there.
    bool kwinUp() const { return scripting("isScriptLoaded", {kPlugin}).exitCode == 0; }

private:
    KWinSession(const Sandbox& sandbox, std::string display)
        : m_sandbox(sandbox), m_display(std::move(display)) {}

    // Stopped in reverse: KWin, then the bus.
    const Sandbox& m_sandbox;
    std::string m_display;
    std::unique_ptr<Process> m_bus;
    std::string m_address;
    std::unique_ptr<Process> m_kwin;
};

} // namespace tarnwick::test
