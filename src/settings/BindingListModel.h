#pragma once

#include <QAbstractListModel>
#include <QPersistentModelIndex>
#include <QtQml/qqmlregistration.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tarnwick {

class AppModel;
struct CommandBinding;
class KeyTranslation;
class MainQueue;

// The bindings of the model as a list the settings view edits in place: a
// card writes one field (model.name = text) into the model without saving;
// persist() saves. Rows follow the model's announcements.
class BindingListModel final : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        NameRole,
        KindRole,          // "corner" or "hotkey"
        CornerRole,        // the stored corner's raw value, or ""
        HotkeyDisplayRole, // the stored combination's display text, or ""
        CommandRole,
        EnabledRole,
        HotkeyNameRole,    // the combination spelled out ("Super+Alt+T"), or ""
        HotkeyProblemRole, // why the combination is not live on its own, or ""
        RunOutcomeRole,    // for a few seconds after a run of runNow(): "ok" or "failed"; or ""
        RunDetailRole,     // then the first line of the run's output
        // Where the desktop keeps the keys: the key it gave the binding
        // ("Desktop: Ctrl+Shift+Y"); "" until it says, or when it gave none
        // (the problem then says so).
        DesktopKeyRole,
        // Where it gives none to us: the command to bind in its own settings instead.
        RunCommandRole,
        CornerProblemRole, // why the corner will not fire here, or ""
        CornerNoteRole,    // how corners behave on this desktop, or ""
    };
    Q_ENUM(Role)

    BindingListModel(AppModel& model, MainQueue& mainQueue, const KeyTranslation& keys,
                     QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QHash<int, QByteArray> roleNames() const override;

    bool setHotkey(int row, std::uint32_t keyCode, std::uint32_t modifiers, const QString& display);
    Q_INVOKABLE void persist();
    // Saves text typed into a card once the user is done with the field.
    Q_INVOKABLE void persistEdits();
    Q_INVOKABLE void add();
    Q_INVOKABLE void remove(int row);
    // Runs the row's command as it stands, whatever the switches say; the
    // row then shows how it went, for shownFor.
    Q_INVOKABLE void runNow(int row);
    static constexpr int shownFor = 4000; // ms
    // Puts the row's RunCommandRole on the clipboard.
    Q_INVOKABLE void copyRunCommand(int row) const;

private:
    struct Run {
        QPersistentModelIndex row;
        bool finished = false;
        bool ok = false;
        QString detail;
    };

    bool hasRow(int row) const;
    QString problem(int row) const;
    std::optional<std::string> assignedKey(const CommandBinding& binding) const;
    QString desktopKey(const CommandBinding& binding) const;
    QString runCommand(const CommandBinding& binding) const;
    QString cornerProblem(const CommandBinding& b) const;
    // The row's latest finished run, if it is still shown.
    const Run* shownRun(int row) const;
    void finish(std::uint64_t number, bool ok, const QString& detail);

    AppModel& m_model;
    MainQueue& m_mainQueue;
    const KeyTranslation& m_keys;
    // Runs going on or shown, by a number the run's thread carries: the
    // index may only be touched on this one.
    std::map<std::uint64_t, Run> m_runs;
    std::uint64_t m_nextRun = 0;
    // Set while setData writes, which announces its one role itself.
    bool m_writing = false;
};

} // namespace tarnwick
