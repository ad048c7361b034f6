#pragma once

#include "support/Eventually.h"
#include "support/SessionBus.h"

namespace tarnwick::test {

// A real KWin of the test's own: kwin_x11 on the test's X server, on a
// private session bus, its home in the sandbox, with the kwinrc given in
// place before it starts.
class KWinSession : public SessionBus {
public:
    static constexpr const char* kPlugin = "io.github.tarnwick.Tarnwick.corners";

    // Nothing when a part did not come up; why goes to stderr.
    static std::unique_ptr<KWinSession> start(const Sandbox& sandbox, const std::string& display,
                                              const std::string& kwinrc) {
        std::filesystem::create_directories(sandbox.root() / "config");
        std::ofstream(sandbox.root() / "config" / "kwinrc") << kwinrc;
        std::unique_ptr<KWinSession> session(new KWinSession(sandbox));
        if (!session->address.empty()) {
            session->m_kwin = Process::spawn(
                {"kwin_x11"},
                sandbox.environment(
                    {{"DISPLAY", display}, {"DBUS_SESSION_BUS_ADDRESS", session->address}}),
                sandbox.root() / "kwin.err");
        }
        // KWin takes its name before its scripting object is there.
        if (!session->m_kwin ||
            !eventually(
                [&] { return session->scripting("isScriptLoaded", {kPlugin}).exitCode == 0; },
                std::chrono::seconds(30))) {
            std::fprintf(stderr, "KWin did not come up:\n%s\n",
                         readWholeFile(sandbox.root() / "kwin.err").c_str());
            return nullptr;
        }
        return session;
    }

    Finished scripting(const std::string& method, const std::vector<std::string>& arguments) const {
        return call("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting." + method, arguments);
    }
    bool scriptLoaded() const {
        return scripting("isScriptLoaded", {kPlugin}).output == "(true,)\n";
    }

private:
    explicit KWinSession(const Sandbox& sandbox) : SessionBus(sandbox) {}

    std::unique_ptr<Process> m_kwin; // stopped before the bus
};

} // namespace tarnwick::test
