#include "triggers/HotkeyManager.h"

#include <string>
#include <utility>

namespace tarnwick {

namespace {

std::string registerFailedLine(const HotkeyCombo& combo, std::int32_t status) {
    return "Tarnwick: hotkey register failed for " + combo.display + " (status " +
           std::to_string(status) + ")";
}

} // namespace

HotkeyManager::HotkeyManager(HotkeyService& service, MainQueue& mainQueue, LogSink& log)
    : m_service(service), m_mainQueue(mainQueue), m_log(log) {}

HotkeyManager::~HotkeyManager() {
    clearAll();
    if (m_installed) {
        // The handler points back at us; the service must not call it now.
        m_service.installPressHandler({});
    }
}

std::optional<HotkeyRefusal> HotkeyManager::registerHotkey(const HotkeyCombo& combo,
                                                           Action action) {
    installHandlerIfNeeded();
    const std::uint32_t id = takeId();
    const HotkeyRegistration result = m_service.registerHotkey(combo.keyCode, combo.modifiers, id);
    if (const auto* refusal = std::get_if<HotkeyRefusal>(&result)) {
        m_log.write(registerFailedLine(combo, refusal->status));
        return *refusal;
    }
    m_handles.push_back(std::get<HotkeyHandle>(result));
    m_actions[id] = std::move(action);
    return std::nullopt;
}

void HotkeyManager::clearAll() {
    for (const HotkeyHandle handle : m_handles) {
        m_service.unregisterHotkey(handle);
    }
    m_handles.clear();
    m_actions.clear();
    m_nextId = 1;
}

void HotkeyManager::installHandlerIfNeeded() {
    if (m_installed) {
        return;
    }
    m_service.installPressHandler([this](std::uint32_t id) { fire(id); });
    m_installed = true;
}

std::uint32_t HotkeyManager::takeId() {
    // Ids restart at 1 on every clearAll(), and a reload registers at most one
    // per binding: the counter never comes near wrapping.
    return m_nextId++;
}

void HotkeyManager::fire(std::uint32_t id) {
    const auto found = m_actions.find(id);
    if (found == m_actions.end() || !found->second) {
        return;
    }
    // A copy, so a clearAll() before the queue runs cannot pull it away.
    m_mainQueue.post(found->second);
}

} // namespace tarnwick
