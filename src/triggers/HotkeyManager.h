#pragma once

#include "config/AppConfig.h"
#include "services/LogSink.h"
#include "services/MainQueue.h"
#include "services/HotkeyService.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

namespace tarnwick {

// Registers key combinations system-wide under small ids and runs the action
// of each press on the main queue.
class HotkeyManager {
public:
    using Action = std::function<void()>;

    HotkeyManager(HotkeyService& service, MainQueue& mainQueue, LogSink& log);
    // Releases every registration and detaches from the service's presses.
    ~HotkeyManager();
    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    // Registers combo; on success keeps action until clearAll(). A refusal is
    // logged and returned. Every attempt uses up an id.
    std::optional<HotkeyRefusal> registerHotkey(const HotkeyCombo& combo, Action action);

    // Releases every registration, forgets the actions, restarts ids at 1.
    void clearAll();

    // How many registrations are live (for tests and diagnostics).
    std::size_t registeredCount() const { return m_actions.size(); }

private:
    void installHandlerIfNeeded();
    std::uint32_t takeId();
    void fire(std::uint32_t id);

    HotkeyService& m_service;
    MainQueue& m_mainQueue;
    LogSink& m_log;
    std::vector<HotkeyHandle> m_handles;
    std::unordered_map<std::uint32_t, Action> m_actions;
    std::uint32_t m_nextId = 1;
    bool m_installed = false;
};

} // namespace tarnwick
