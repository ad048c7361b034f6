#pragma once

#include "support/Process.h"
#include "support/Sandbox.h"

#include <chrono>
#include <filesystem>
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
            if (line->starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
                m_address = line->substr(25);
            }
        }
    }

    bool ready() const { return !m_address.empty(); }
    const std::string& busAddress() const { return m_address; }
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
    std::string m_address;
};

} // namespace tarnwick::test
