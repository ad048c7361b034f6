#include "settings/HotkeyRecorder.h"

#include "services/KeyTranslation.h"
#include "settings/BindingListModel.h"
#include "settings/KeyCombo.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>

namespace tarnwick {
namespace {

// Qt names Super "Meta" on X11.
std::uint64_t modifierFlags(Qt::KeyboardModifiers modifiers) {
    std::uint64_t flags = 0;
    flags |= modifiers.testFlag(Qt::MetaModifier) ? keyflag::command : 0;
    flags |= modifiers.testFlag(Qt::AltModifier) ? keyflag::option : 0;
    flags |= modifiers.testFlag(Qt::ControlModifier) ? keyflag::control : 0;
    flags |= modifiers.testFlag(Qt::ShiftModifier) ? keyflag::shift : 0;
    return flags;
}

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock: return true;
    default: return false;
    }
}

// The key's text without modifiers other than Shift: Qt's key is the
// unmodified symbol, upper-case for letters; Shift's own effect is in text().
// Escape, Tab and the like have control characters for text: none shown.
std::string keyText(const QKeyEvent& event) {
    const QString text = event.text();
    const bool plainText =
        !text.isEmpty() && text.front().isPrint() &&
        !(event.modifiers() & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier));
    if (plainText) {
        return text.toStdString();
    }
    const int key = event.key();
    if (key >= 0x20 && key < Qt::Key_Escape) {
        const QString symbol(QChar(static_cast<char16_t>(key)));
        return (event.modifiers() & Qt::ShiftModifier ? symbol : symbol.toLower()).toStdString();
    }
    return {};
}

// Key presses go to the window first and then to its focused item;
// shortcut overrides go to the item.
QWindow* windowOf(QObject* target) {
    if (auto* window = qobject_cast<QWindow*>(target)) {
        return window;
    }
    const auto* item = qobject_cast<QQuickItem*>(target);
    return item != nullptr ? item->window() : nullptr;
}

} // namespace

HotkeyRecorder::HotkeyRecorder(BindingListModel& bindings, const KeyTranslation& keys,
                               QObject* parent)
    : QObject(parent), m_bindings(bindings), m_keys(keys) {
    // A row removed, or all rows replaced, while recording: nothing is recorded.
    connect(&bindings, &QAbstractItemModel::rowsRemoved, this,
            &HotkeyRecorder::stopUnlessStillThere);
    connect(&bindings, &QAbstractItemModel::modelReset, this,
            &HotkeyRecorder::stopUnlessStillThere);
    // Earlier rows inserted or removed: the recording row moved.
    connect(&bindings, &QAbstractItemModel::rowsInserted, this,
            &HotkeyRecorder::recordingRowChanged);
    connect(&bindings, &QAbstractItemModel::rowsRemoved, this,
            &HotkeyRecorder::recordingRowChanged);
}

HotkeyRecorder::~HotkeyRecorder() {
    if (m_filtering && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

void HotkeyRecorder::setWindow(QWindow* window) {
    disconnect(m_hidden);
    disconnect(m_deactivated);
    m_window = window;
    if (window == nullptr) {
        return;
    }
    m_hidden = connect(window, &QWindow::visibleChanged, this, [this](bool visible) {
        if (!visible) {
            record(-1);
        }
    });
    m_deactivated = connect(window, &QWindow::activeChanged, this, [this] {
        if (m_window != nullptr && !m_window->isActive()) {
            record(-1);
        }
    });
}

void HotkeyRecorder::toggle(int row) {
    record(recordingRow() == row ? -1 : row);
}

void HotkeyRecorder::stop(int row) {
    if (recordingRow() == row) {
        record(-1);
    }
}

void HotkeyRecorder::stopUnlessStillThere() {
    if (m_filtering && !m_recording.isValid()) {
        record(-1);
    }
}

void HotkeyRecorder::record(int row) {
    const QModelIndex index = m_bindings.index(row);
    if (index == m_recording && index.isValid() == m_filtering) {
        return;
    }
    m_recording = index;
    const bool filtering = index.isValid();
    if (QCoreApplication* app = QCoreApplication::instance();
        app != nullptr && filtering != m_filtering) {
        if (filtering) {
            app->installEventFilter(this);
        } else {
            app->removeEventFilter(this);
        }
    }
    m_filtering = filtering;
    emit recordingRowChanged();
}

bool HotkeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!m_recording.isValid() ||
        (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) ||
        m_window == nullptr || windowOf(watched) != m_window) {
        return QObject::eventFilter(watched, event);
    }
    const auto& key = static_cast<const QKeyEvent&>(*event);
    // A modifier alone is not a hotkey yet: wait for the key it goes with.
    if (isModifierKey(key.key())) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Accepted: no shortcut of the window fires; the key press follows.
        event->accept();
        return true;
    }
    take(key);
    return true;
}

void HotkeyRecorder::take(const QKeyEvent& event) {
    const int row = recordingRow();
    record(-1);
    const auto virtualKey = m_keys.virtualKeyFor(event.nativeScanCode());
    // A key outside the stored table cannot be grabbed later: nothing is recorded.
    if (!virtualKey) {
        return;
    }
    const HotkeyCombo combo = comboFromKeyDown(static_cast<std::uint16_t>(*virtualKey),
                                               modifierFlags(event.modifiers()), keyText(event));
    if (m_bindings.setHotkey(row, combo.keyCode, combo.modifiers,
                             QString::fromStdString(combo.display))) {
        m_bindings.persist();
    }
}

} // namespace tarnwick
