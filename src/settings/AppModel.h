#pragma once

#include "config/AppConfig.h"
#include "services/CornerNotes.h"

#include <QObject>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarnwick {

class ConfigStore;

// What stands in the way of a binding's hotkey, as the last reload found it.
struct HotkeyConflict {
    enum class Kind : std::uint8_t {
        none,
        taken,   // another program holds the combination
        refused, // the desktop refused it for another reason
        shared,  // an earlier binding has the same combination
    };
    Kind kind = Kind::none;
    // For shared: the earlier binding's name.
    std::string otherName;

    friend bool operator==(const HotkeyConflict&, const HotkeyConflict&) = default;
};

// What a desktop that keeps the keys itself (Wayland's GlobalShortcuts
// portal) made of the hotkey bindings; nothing where we grab the keys.
struct DesktopShortcuts {
    enum class State : std::uint8_t {
        notUsed,     // we grab the keys ourselves
        used,        // the desktop keeps them
        unavailable, // the desktop keeps them, but gives none to us
    };
    State state = State::notUsed;
    // The desktop's own text of the key it gave each bound binding, by the
    // binding's id; "" when it gave none. Bindings not bound are absent.
    std::map<std::string, std::string> assigned;

    friend bool operator==(const DesktopShortcuts&, const DesktopShortcuts&) = default;
};

// The configuration the user sees and edits, announcing every change, and
// the one road by which an edit takes effect: persist() saves it and tells
// onChange. Changes of the list are announced row by row, before and after,
// as list views need them.
class AppModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(
        bool globalEnabled READ globalEnabled WRITE setGlobalEnabled NOTIFY globalEnabledChanged)
    Q_PROPERTY(double cornerSensitivity READ cornerSensitivity WRITE setCornerSensitivity NOTIFY
                   cornerSensitivityChanged)
    // Where corners cannot work here, or the desktop decides their size.
    Q_PROPERTY(bool cornersAvailable READ cornersAvailable NOTIFY cornerNotesChanged)
    Q_PROPERTY(QString cornerSizeNote READ cornerSizeNote NOTIFY cornerNotesChanged)

public:
    // What add() appends.
    static constexpr const char* newBindingName = "New command";
    static constexpr const char* newBindingCommand = "notify-send hello";

    explicit AppModel(ConfigStore& store, QObject* parent = nullptr);

    const AppConfig& config() const { return m_config; }
    // Replaces the configuration whole, without saving.
    void setConfig(AppConfig config);

    bool globalEnabled() const { return m_config.globalEnabled; }
    void setGlobalEnabled(bool enabled);
    double cornerSensitivity() const { return m_config.cornerSensitivity; }
    void setCornerSensitivity(double sensitivity);
    // Replaces one binding in place, without saving; false when index is out of range.
    bool setBinding(std::size_t index, CommandBinding binding);
    // The conflicts of the rows' hotkeys, announced for the rows that changed;
    // rows past the end have none. Kept in step when rows go.
    void setHotkeyConflicts(std::vector<HotkeyConflict> conflicts);
    HotkeyConflict hotkeyConflict(std::size_t row) const;
    // What the desktop made of the hotkeys; announced for the rows whose
    // part of it changed. Never written to the file.
    void setDesktopShortcuts(DesktopShortcuts shortcuts);
    const DesktopShortcuts& desktopShortcuts() const { return m_desktopShortcuts; }
    // What the cards and the corner size say about corners on this desktop.
    void setCornerNotes(CornerNotes notes);
    const CornerNotes& cornerNotes() const { return m_cornerNotes; }
    bool cornersAvailable() const { return m_cornerNotes.available; }
    QString cornerSizeNote() const { return QString::fromStdString(m_cornerNotes.size); }

    // Copies the configuration into the store, saves it, tells onSaveFailed
    // why when that failed, then calls onChange (whatever the save's outcome).
    Q_INVOKABLE void persist();
    // persist(), when an edit of the bindings has not been saved yet.
    void persistEdits();
    // Appends a new corner binding with the defaults above and persists.
    Q_INVOKABLE void add();
    // Removes every binding with binding's id and persists, also when none matched.
    void deleteBinding(const CommandBinding& binding);

    std::function<void()> onChange;
    std::function<void(const std::string& reason)> onSaveFailed;

signals:
    void globalEnabledChanged();
    void cornerSensitivityChanged();
    void cornerNotesChanged();
    void bindingsAboutToBeReset();
    void bindingsReset();
    void bindingAboutToBeInserted(int row);
    void bindingInserted();
    void bindingAboutToBeRemoved(int row);
    void bindingRemoved();
    void bindingChanged(int row);

private:
    ConfigStore& m_store;
    AppConfig m_config;
    std::vector<HotkeyConflict> m_conflicts;
    DesktopShortcuts m_desktopShortcuts;
    CornerNotes m_cornerNotes;
};

} // namespace tarnwick
