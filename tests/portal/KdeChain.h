#pragma once

#include "support/Process.h"
#include "support/Sandbox.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

namespace tarnwick::test {

// tests/support/kde-portal-chain.sh in a sandbox: a headless KDE desktop with
// its portal on a bus of its own, gone with the object.
class KdeChain {
public:
    explicit KdeChain(const Sandbox& sandbox) : m_dir(sandbox.root() / "kde") {
        std::filesystem::create_directories(m_dir);
        m_process = Process::spawn({KDE_PORTAL_CHAIN, m_dir.string()}, sandbox.environment(),
                                   m_dir / "chain.log");
        for (auto line = m_process ? m_process->readLine(std::chrono::seconds(30)) : std::nullopt;
             line && *line != "ready"; line = m_process->readLine(std::chrono::seconds(30))) {
            if (const auto equals = line->find('='); equals != std::string::npos) {
                m_environment[line->substr(0, equals)] = line->substr(equals + 1);
            }
        }
    }

    bool ready() const { return m_environment.contains("DBUS_SESSION_BUS_ADDRESS"); }
    std::string busAddress() const {
        return ready() ? m_environment.at("DBUS_SESSION_BUS_ADDRESS") : "";
    }
    // What a program needs to run in this desktop, beside a sandbox's own.
    std::map<std::string, std::string> environment() const {
        auto variables = m_environment;
        variables.insert({{"XDG_CURRENT_DESKTOP", "KDE"}, {"XDG_SESSION_TYPE", "wayland"}});
        return variables;
    }
    // The chain's own messages and those of each of its programs.
    std::string logs() const {
        std::string all;
        for (const char* name : {"chain", "bus", "kwin", "portal-kde", "portal"}) {
            all += std::string("== ") + name + "\n" +
                   readWholeFile(m_dir / (name + std::string(".log")));
        }
        return all;
    }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<Process> m_process;
    std::map<std::string, std::string> m_environment;
};

} // namespace tarnwick::test
