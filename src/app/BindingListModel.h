#pragma once

#include <QAbstractListModel>
#include <QStringList>

namespace tarnwick {

class AppModel;
class MainQueue;

// The bindings of the model as a list the settings view edits in place:
// setData writes one field of one binding into the model without saving;
// persist() saves. Rows follow the model when bindings are added, removed
// or replaced.
class BindingListModel final : public QAbstractListModel {
    Q_OBJECT
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

    // The row of the binding with this id, or -1: a card that outlives a
    // reordering finds its binding again.
    Q_INVOKABLE int rowOf(const QString& id) const;
    Q_INVOKABLE bool setField(int row, const QString& roleName, const QVariant& value);
    Q_INVOKABLE bool setHotkey(int row, int keyCode, int modifiers, const QString& display);
    Q_INVOKABLE void persist();
    Q_INVOKABLE void add();
    Q_INVOKABLE void remove(int row);
    // Runs the row's command as it stands, whatever the switches say.
    Q_INVOKABLE void runNow(int row);

private:
    void followModel();

    AppModel& m_model;
    MainQueue& m_mainQueue;
    // The ids the view was last told about, in order.
    QStringList m_ids;
};

} // namespace tarnwick
