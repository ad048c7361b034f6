#pragma once

#include <QAbstractListModel>
#include <QtQml/qqmlregistration.h>

namespace tarnwick {

class AppModel;
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
    };
    Q_ENUM(Role)

    BindingListModel(AppModel& model, MainQueue& mainQueue, QObject* parent = nullptr);

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
    // Runs the row's command as it stands, whatever the switches say.
    Q_INVOKABLE void runNow(int row);

private:
    bool hasRow(int row) const;

    AppModel& m_model;
    MainQueue& m_mainQueue;
    // Set while setData writes, which announces its one role itself.
    bool m_writing = false;
};

} // namespace tarnwick
