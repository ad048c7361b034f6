#include "app/BindingListModel.h"

#include "app/AppModel.h"
#include "runner/CommandRunner.h"

namespace tarnwick {
namespace {

QStringList idsOf(const AppConfig& config) {
    QStringList ids;
    for (const CommandBinding& binding : config.bindings) {
        ids << QString::fromStdString(binding.id.toString());
    }
    return ids;
}

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

BindingListModel::BindingListModel(AppModel& model, MainQueue& mainQueue, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_mainQueue(mainQueue),
      m_ids(idsOf(model.config())) {
    connect(&m_model, &AppModel::bindingsChanged, this, &BindingListModel::followModel);
}

int BindingListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_ids.size());
}

QHash<int, QByteArray> BindingListModel::roleNames() const {
    static const QHash<int, QByteArray> names{
        {IdRole, "bindingId"},
        {NameRole, "name"},
        {KindRole, "kind"},
        {CornerRole, "corner"},
        {HotkeyDisplayRole, "hotkeyDisplay"},
        {CommandRole, "command"},
        {EnabledRole, "enabled"},
    };
    return names;
}

QVariant BindingListModel::data(const QModelIndex& index, int role) const {
    const auto& bindings = m_model.config().bindings;
    if (!index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= bindings.size()) {
        return {};
    }
    const CommandBinding& b = bindings[static_cast<std::size_t>(index.row())];
    switch (role) {
    case IdRole: return text(b.id.toString());
    case NameRole: return text(b.name);
    case KindRole: return text(std::string(rawValue(b.trigger.kind)));
    case CornerRole:
        return b.trigger.corner ? text(std::string(rawValue(*b.trigger.corner))) : QString();
    case HotkeyDisplayRole: return b.trigger.hotkey ? text(b.trigger.hotkey->display) : QString();
    case CommandRole: return text(b.command);
    case EnabledRole: return b.enabled;
    default: return {};
    }
}

bool BindingListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const auto& bindings = m_model.config().bindings;
    if (!index.isValid() || index.row() < 0 ||
        static_cast<std::size_t>(index.row()) >= bindings.size()) {
        return false;
    }
    CommandBinding b = bindings[static_cast<std::size_t>(index.row())];
    switch (role) {
    case NameRole: b.name = value.toString().toStdString(); break;
    case CommandRole: b.command = value.toString().toStdString(); break;
    case EnabledRole: b.enabled = value.toBool(); break;
    case KindRole: {
        // The other kind's stored value stays, so switching back restores it.
        const auto kind = triggerKindFromRawValue(value.toString().toStdString());
        if (!kind) {
            return false;
        }
        b.trigger.kind = *kind;
        break;
    }
    case CornerRole: {
        const auto corner = screenCornerFromRawValue(value.toString().toStdString());
        if (!corner) {
            return false;
        }
        b.trigger.corner = *corner;
        break;
    }
    default: return false;
    }
    return m_model.setBinding(static_cast<std::size_t>(index.row()), std::move(b));
}

int BindingListModel::rowOf(const QString& id) const {
    return static_cast<int>(m_ids.indexOf(id));
}

bool BindingListModel::setField(int row, const QString& roleName, const QVariant& value) {
    const int role = roleNames().key(roleName.toUtf8(), -1);
    return role != -1 && setData(index(row), value, role);
}

bool BindingListModel::setHotkey(int row, int keyCode, int modifiers, const QString& display) {
    const auto& bindings = m_model.config().bindings;
    if (row < 0 || static_cast<std::size_t>(row) >= bindings.size() || keyCode < 0 ||
        modifiers < 0) {
        return false;
    }
    CommandBinding b = bindings[static_cast<std::size_t>(row)];
    b.trigger.hotkey = HotkeyCombo{static_cast<std::uint32_t>(keyCode),
                                   static_cast<std::uint32_t>(modifiers), display.toStdString()};
    return m_model.setBinding(static_cast<std::size_t>(row), std::move(b));
}

void BindingListModel::persist() {
    m_model.persist();
}

void BindingListModel::add() {
    m_model.add();
}

void BindingListModel::remove(int row) {
    const auto& bindings = m_model.config().bindings;
    if (row >= 0 && static_cast<std::size_t>(row) < bindings.size()) {
        m_model.deleteBinding(bindings[static_cast<std::size_t>(row)]);
    }
}

void BindingListModel::runNow(int row) {
    const auto& bindings = m_model.config().bindings;
    if (row >= 0 && static_cast<std::size_t>(row) < bindings.size()) {
        CommandRunner::runAsync(bindings[static_cast<std::size_t>(row)].command, m_mainQueue);
    }
}

// The model has changed already; the view is told in the smallest terms:
// rows appended, one row removed, or, failing those, a reset.
void BindingListModel::followModel() {
    const QStringList ids = idsOf(m_model.config());
    const auto oldCount = m_ids.size();
    const auto newCount = ids.size();
    if (ids == m_ids) {
        if (newCount > 0) {
            emit dataChanged(index(0), index(static_cast<int>(newCount) - 1));
        }
        return;
    }
    if (newCount > oldCount && ids.mid(0, oldCount) == m_ids) {
        beginInsertRows({}, static_cast<int>(oldCount), static_cast<int>(newCount) - 1);
        m_ids = ids;
        endInsertRows();
        return;
    }
    if (newCount + 1 == oldCount) {
        for (qsizetype row = 0; row < oldCount; ++row) {
            QStringList without = m_ids;
            without.removeAt(row);
            if (without == ids) {
                beginRemoveRows({}, static_cast<int>(row), static_cast<int>(row));
                m_ids = ids;
                endRemoveRows();
                return;
            }
        }
    }
    beginResetModel();
    m_ids = ids;
    endResetModel();
}

} // namespace tarnwick
