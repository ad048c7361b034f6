#include "settings/BindingListModel.h"

#include "runner/CommandRunner.h"
#include "services/KeyTranslation.h"
#include "settings/AppModel.h"
#include "settings/KeyCombo.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>

namespace tarnwick {
namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Writes one role's value into b; false when the value is not one the role takes.
bool write(CommandBinding& b, int role, const QVariant& value) {
    switch (role) {
    case BindingListModel::NameRole: b.name = value.toString().toStdString(); return true;
    case BindingListModel::CommandRole: b.command = value.toString().toStdString(); return true;
    case BindingListModel::EnabledRole: b.enabled = value.toBool(); return true;
    case BindingListModel::KindRole: {
        // The other kind's stored value stays, so switching back restores it.
        const auto kind = triggerKindFromRawValue(value.toString().toStdString());
        b.trigger.kind = kind.value_or(b.trigger.kind);
        return kind.has_value();
    }
    case BindingListModel::CornerRole: {
        const auto corner = screenCornerFromRawValue(value.toString().toStdString());
        b.trigger.corner = corner ? corner : b.trigger.corner;
        return corner.has_value();
    }
    default: return false;
    }
}

} // namespace

BindingListModel::BindingListModel(AppModel& model, MainQueue& mainQueue,
                                   const KeyTranslation& keys, QObject* parent)
    : QAbstractListModel(parent), m_model(model), m_mainQueue(mainQueue), m_keys(keys) {
    connect(&m_model, &AppModel::bindingsAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&m_model, &AppModel::bindingsReset, this, [this] { endResetModel(); });
    connect(&m_model, &AppModel::bindingAboutToBeInserted, this,
            [this](int row) { beginInsertRows({}, row, row); });
    connect(&m_model, &AppModel::bindingInserted, this, [this] { endInsertRows(); });
    connect(&m_model, &AppModel::bindingAboutToBeRemoved, this,
            [this](int row) { beginRemoveRows({}, row, row); });
    connect(&m_model, &AppModel::bindingRemoved, this, [this] { endRemoveRows(); });
    connect(&m_model, &AppModel::cornerNotesChanged, this, [this] {
        if (rowCount() > 0) {
            emit dataChanged(index(0), index(rowCount() - 1), {CornerProblemRole, CornerNoteRole});
        }
    });
    connect(&m_model, &AppModel::bindingChanged, this, [this](int row) {
        if (!m_writing) {
            emit dataChanged(index(row), index(row));
        }
    });
}

int BindingListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_model.config().bindings.size());
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
        {HotkeyNameRole, "hotkeyName"},
        {HotkeyProblemRole, "hotkeyProblem"},
        {RunOutcomeRole, "runOutcome"},
        {RunDetailRole, "runDetail"},
        {DesktopKeyRole, "desktopKey"},
        {RunCommandRole, "runCommand"},
        {CornerProblemRole, "cornerProblem"},
        {CornerNoteRole, "cornerNote"},
    };
    return names;
}

QVariant BindingListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !hasRow(index.row())) {
        return {};
    }
    const CommandBinding& b = m_model.config().bindings[static_cast<std::size_t>(index.row())];
    switch (role) {
    case IdRole: return text(b.id.toString());
    case NameRole: return text(b.name);
    case KindRole: return text(rawValue(b.trigger.kind));
    case CornerRole: return b.trigger.corner ? text(rawValue(*b.trigger.corner)) : QString();
    case HotkeyDisplayRole: return b.trigger.hotkey ? text(b.trigger.hotkey->display) : QString();
    case CommandRole: return text(b.command);
    case EnabledRole: return b.enabled;
    case HotkeyNameRole:
        return b.trigger.hotkey
                   ? text(spelledOut(*b.trigger.hotkey, m_keys.keyName(b.trigger.hotkey->keyCode)))
                   : QString();
    case HotkeyProblemRole: return problem(index.row());
    case CornerProblemRole: return cornerProblem(b);
    case CornerNoteRole:
        return m_model.cornersAvailable() ? text(m_model.cornerNotes().behaviour) : QString();
    case RunOutcomeRole: {
        const Run* run = shownRun(index.row());
        return run == nullptr ? QString()
               : run->ok      ? QStringLiteral("ok")
                              : QStringLiteral("failed");
    }
    case RunDetailRole: {
        const Run* run = shownRun(index.row());
        return run == nullptr ? QString() : run->detail;
    }
    case DesktopKeyRole: return desktopKey(b);
    case RunCommandRole: return runCommand(b);
    default: return {};
    }
}

// Where the desktop keeps the keys, the key it gave the binding.
std::optional<std::string> BindingListModel::assignedKey(const CommandBinding& binding) const {
    const DesktopShortcuts& shortcuts = m_model.desktopShortcuts();
    const auto found = shortcuts.assigned.find(binding.id.toString());
    if (shortcuts.state != DesktopShortcuts::State::used || found == shortcuts.assigned.end()) {
        return std::nullopt;
    }
    return found->second;
}

QString BindingListModel::desktopKey(const CommandBinding& binding) const {
    const auto key = assignedKey(binding);
    return key && !key->empty() ? QStringLiteral("Desktop: ") + text(*key) : QString();
}

QString BindingListModel::runCommand(const CommandBinding& binding) const {
    return m_model.desktopShortcuts().state == DesktopShortcuts::State::unavailable
               ? QStringLiteral("tarnwick --run ") + text(binding.id.toString())
               : QString();
}

void BindingListModel::copyRunCommand(int row) const {
    if (const QString command = data(index(row), RunCommandRole).toString(); !command.isEmpty()) {
        QGuiApplication::clipboard()->setText(command);
    }
}

QString BindingListModel::problem(int row) const {
    const CommandBinding& binding = m_model.config().bindings[static_cast<std::size_t>(row)];
    if (m_model.desktopShortcuts().state == DesktopShortcuts::State::unavailable) {
        return QStringLiteral("Global shortcuts are not available on this desktop");
    }
    if (const auto key = assignedKey(binding); key && key->empty()) {
        return QStringLiteral("not assigned: set it in the desktop's shortcut settings");
    }
    const HotkeyConflict conflict = m_model.hotkeyConflict(static_cast<std::size_t>(row));
    const QString name = data(index(row), HotkeyNameRole).toString();
    switch (conflict.kind) {
    case HotkeyConflict::Kind::none: return {};
    case HotkeyConflict::Kind::taken: return name + QStringLiteral(" is taken by another program");
    case HotkeyConflict::Kind::refused: return name + QStringLiteral(" could not be registered");
    case HotkeyConflict::Kind::shared:
        return conflict.otherName.empty()
                   ? QStringLiteral("also used by another command")
                   : QStringLiteral("also used by '%1'").arg(text(conflict.otherName));
    }
    return {};
}

QString BindingListModel::cornerProblem(const CommandBinding& b) const {
    const CornerNotes& notes = m_model.cornerNotes();
    if (!notes.available) {
        return QStringLiteral("Hot corners are not available on this desktop");
    }
    return b.trigger.corner ? text(notes.heldBy[static_cast<std::size_t>(*b.trigger.corner)])
                            : QString();
}

bool BindingListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || !hasRow(index.row())) {
        return false;
    }
    const auto row = static_cast<std::size_t>(index.row());
    CommandBinding b = m_model.config().bindings[row];
    if (!write(b, role, value)) {
        return false;
    }
    m_writing = true;
    const bool changed = m_model.config().bindings[row] != b;
    m_model.setBinding(row, std::move(b));
    m_writing = false;
    if (changed) {
        // What the desktop does with the corner goes with the corner.
        emit dataChanged(index, index,
                         role == CornerRole ? QList<int>{role, CornerProblemRole}
                                            : QList<int>{role});
    }
    return true;
}

bool BindingListModel::hasRow(int row) const {
    return row >= 0 && row < rowCount();
}

bool BindingListModel::setHotkey(int row, std::uint32_t keyCode, std::uint32_t modifiers,
                                 const QString& display) {
    if (!hasRow(row)) {
        return false;
    }
    CommandBinding b = m_model.config().bindings[static_cast<std::size_t>(row)];
    b.trigger.hotkey = HotkeyCombo{keyCode, modifiers, display.toStdString()};
    return m_model.setBinding(static_cast<std::size_t>(row), std::move(b));
}

void BindingListModel::persist() {
    m_model.persist();
}

void BindingListModel::persistEdits() {
    m_model.persistEdits();
}

void BindingListModel::add() {
    m_model.add();
}

void BindingListModel::remove(int row) {
    if (hasRow(row)) {
        m_model.deleteBinding(m_model.config().bindings[static_cast<std::size_t>(row)]);
    }
}

void BindingListModel::runNow(int row) {
    if (!hasRow(row)) {
        return;
    }
    const std::uint64_t number = m_nextRun++;
    m_runs.emplace(number, Run{QPersistentModelIndex(index(row)), false, false, {}});
    CommandRunner::runAsync(
        m_model.config().bindings[static_cast<std::size_t>(row)].command, m_mainQueue,
        [self = QPointer(this), number](const CommandResult& result) {
            if (self) {
                const std::string& output = result.output;
                self->finish(number, result.ok, text(output.substr(0, output.find('\n'))));
            }
        });
}

void BindingListModel::finish(std::uint64_t number, bool ok, const QString& detail) {
    const auto announce = [this](const QPersistentModelIndex& at) {
        if (at.isValid()) {
            emit dataChanged(at, at, {RunOutcomeRole, RunDetailRole});
        }
    };
    Run& run = m_runs.at(number);
    run.finished = true;
    run.ok = ok;
    run.detail = detail;
    announce(run.row);
    QTimer::singleShot(shownFor, this, [this, number, announce] {
        const QPersistentModelIndex at = m_runs.at(number).row;
        m_runs.erase(number);
        announce(at);
    });
}

const BindingListModel::Run* BindingListModel::shownRun(int row) const {
    const Run* shown = nullptr;
    for (const auto& [number, run] : m_runs) {
        if (run.finished && run.row.isValid() && run.row.row() == row) {
            shown = &run;
        }
    }
    return shown;
}

} // namespace tarnwick
