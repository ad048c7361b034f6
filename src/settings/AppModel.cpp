#include "settings/AppModel.h"

#include "config/ConfigStore.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>

namespace tarnwick {

AppModel::AppModel(ConfigStore& store, QObject* parent) : QObject(parent), m_store(store) {}

void AppModel::setConfig(AppConfig config) {
    const bool enabledChanged = config.globalEnabled != m_config.globalEnabled;
    // Compared bitwise so that a NaN read from the file counts as unchanged.
    const bool sensitivityChanged = std::bit_cast<std::uint64_t>(config.cornerSensitivity) !=
                                    std::bit_cast<std::uint64_t>(m_config.cornerSensitivity);
    emit bindingsAboutToBeReset();
    m_config = std::move(config);
    m_conflicts.clear();
    emit bindingsReset();
    if (enabledChanged) {
        emit globalEnabledChanged();
    }
    if (sensitivityChanged) {
        emit cornerSensitivityChanged();
    }
}

void AppModel::setGlobalEnabled(bool enabled) {
    if (enabled == m_config.globalEnabled) {
        return;
    }
    m_config.globalEnabled = enabled;
    emit globalEnabledChanged();
}

void AppModel::setCornerSensitivity(double sensitivity) {
    if (std::bit_cast<std::uint64_t>(sensitivity) ==
        std::bit_cast<std::uint64_t>(m_config.cornerSensitivity)) {
        return;
    }
    m_config.cornerSensitivity = sensitivity;
    emit cornerSensitivityChanged();
}

bool AppModel::setBinding(std::size_t index, CommandBinding binding) {
    if (index >= m_config.bindings.size()) {
        return false;
    }
    if (m_config.bindings[index] == binding) {
        return true;
    }
    m_config.bindings[index] = std::move(binding);
    emit bindingChanged(static_cast<int>(index));
    return true;
}

void AppModel::setHotkeyConflicts(std::vector<HotkeyConflict> conflicts) {
    std::swap(m_conflicts, conflicts);
    const std::size_t rows = std::max(m_conflicts.size(), conflicts.size());
    for (std::size_t row = 0; row < rows && row < m_config.bindings.size(); ++row) {
        const HotkeyConflict none;
        if ((row < conflicts.size() ? conflicts[row] : none) != hotkeyConflict(row)) {
            emit bindingChanged(static_cast<int>(row));
        }
    }
}

void AppModel::setDesktopShortcuts(DesktopShortcuts shortcuts) {
    std::swap(m_desktopShortcuts, shortcuts);
    // What one row shows of it: the state, and the key given to its binding.
    const auto part = [](const DesktopShortcuts& all, const std::string& id) {
        const auto found = all.assigned.find(id);
        return std::pair(all.state,
                         found != all.assigned.end() ? std::optional(found->second) : std::nullopt);
    };
    for (std::size_t row = 0; row < m_config.bindings.size(); ++row) {
        const std::string id = m_config.bindings[row].id.toString();
        if (part(shortcuts, id) != part(m_desktopShortcuts, id)) {
            emit bindingChanged(static_cast<int>(row));
        }
    }
}

HotkeyConflict AppModel::hotkeyConflict(std::size_t row) const {
    return row < m_conflicts.size() ? m_conflicts[row] : HotkeyConflict{};
}

void AppModel::setCornerNotes(CornerNotes notes) {
    if (notes != m_cornerNotes) {
        m_cornerNotes = std::move(notes);
        emit cornerNotesChanged();
    }
}

void AppModel::persist() {
    m_store.config = m_config;
    if (const SaveResult saved = m_store.save(); !saved && onSaveFailed) {
        onSaveFailed(saved.reason);
    }
    if (onChange) {
        onChange();
    }
}

void AppModel::persistEdits() {
    if (m_config.bindings != m_store.config.bindings) {
        persist();
    }
}

void AppModel::add() {
    emit bindingAboutToBeInserted(static_cast<int>(m_config.bindings.size()));
    m_config.bindings.emplace_back(
        newBindingName, Trigger{TriggerKind::corner, ScreenCorner::topRight}, newBindingCommand);
    emit bindingInserted();
    persist();
}

void AppModel::deleteBinding(const CommandBinding& binding) {
    // From the back, so that the rows announced stay where they were.
    auto& bindings = m_config.bindings;
    for (auto row = bindings.size(); row-- > 0;) {
        if (bindings[row].id == binding.id) {
            emit bindingAboutToBeRemoved(static_cast<int>(row));
            bindings.erase(bindings.begin() + static_cast<std::ptrdiff_t>(row));
            if (row < m_conflicts.size()) {
                m_conflicts.erase(m_conflicts.begin() + static_cast<std::ptrdiff_t>(row));
            }
            emit bindingRemoved();
        }
    }
    persist();
}

} // namespace tarnwick
