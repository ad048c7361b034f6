#include "app/AppModel.h"

#include "config/ConfigStore.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace tarnwick {

AppModel& AppModel::shared() {
    // Deliberately leaked: it must outlive every window and callback.
    static auto* instance = new AppModel(ConfigStore::shared());
    return *instance;
}

AppModel::AppModel(ConfigStore& store, QObject* parent) : QObject(parent), m_store(store) {}

void AppModel::setConfig(AppConfig config) {
    const bool enabledChanged = config.globalEnabled != m_config.globalEnabled;
    // Compared bitwise so that a NaN read from the file counts as unchanged.
    const bool sensitivityChanged = std::bit_cast<std::uint64_t>(config.cornerSensitivity) !=
                                    std::bit_cast<std::uint64_t>(m_config.cornerSensitivity);
    m_config = std::move(config);
    if (enabledChanged) {
        emit globalEnabledChanged();
    }
    if (sensitivityChanged) {
        emit cornerSensitivityChanged();
    }
    emit bindingsChanged();
    emit configChanged();
}

void AppModel::setGlobalEnabled(bool enabled) {
    if (enabled == m_config.globalEnabled) {
        return;
    }
    m_config.globalEnabled = enabled;
    emit globalEnabledChanged();
    emit configChanged();
}

void AppModel::setCornerSensitivity(double sensitivity) {
    if (std::bit_cast<std::uint64_t>(sensitivity) ==
        std::bit_cast<std::uint64_t>(m_config.cornerSensitivity)) {
        return;
    }
    m_config.cornerSensitivity = sensitivity;
    emit cornerSensitivityChanged();
    emit configChanged();
}

bool AppModel::setBinding(std::size_t index, CommandBinding binding) {
    if (index >= m_config.bindings.size()) {
        return false;
    }
    if (m_config.bindings[index] == binding) {
        return true;
    }
    m_config.bindings[index] = std::move(binding);
    emit bindingsChanged();
    emit configChanged();
    return true;
}

void AppModel::persist() {
    m_store.config = m_config;
    m_store.save();
    if (onChange) {
        onChange();
    }
}

void AppModel::add() {
    m_config.bindings.emplace_back(
        newBindingName, Trigger{TriggerKind::corner, ScreenCorner::topRight}, newBindingCommand);
    emit bindingsChanged();
    emit configChanged();
    persist();
}

void AppModel::deleteBinding(const CommandBinding& binding) {
    const auto removed = std::erase_if(m_config.bindings,
                                       [&](const CommandBinding& b) { return b.id == binding.id; });
    if (removed > 0) {
        emit bindingsChanged();
        emit configChanged();
    }
    persist();
}

} // namespace tarnwick
