#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QWindow>
#include <QtQml/qqmlregistration.h>

class QKeyEvent;

namespace tarnwick {

class BindingListModel;
class KeyTranslation;

// Records one binding's hotkey from the next key pressed in the settings
// window: while recording, an application-wide event filter takes the first
// key press delivered to that window (it never reaches an item; other
// windows, the tray menu among them, keep their keys), stores its combination
// on the binding and saves. The binding is followed by its row, which moves
// with the rows before it and may share its id with another in a hand-edited
// file. At most one binding records at a time, and only while the window is
// shown and has the focus and the row exists.
class HotkeyRecorder final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_PROPERTY(int recordingRow READ recordingRow NOTIFY recordingRowChanged)

public:
    HotkeyRecorder(BindingListModel& bindings, const KeyTranslation& keys,
                   QObject* parent = nullptr);
    ~HotkeyRecorder() override;

    // The row recording, or -1.
    int recordingRow() const { return m_recording.isValid() ? m_recording.row() : -1; }

    // The window whose keys are taken. Hiding it or its losing the focus
    // stops a recording, saving nothing.
    void setWindow(QWindow* window);

    // Starts recording for the row, or stops when it is the one recording.
    Q_INVOKABLE void toggle(int row);
    // Stops recording if this row is the one recording (its card went away).
    Q_INVOKABLE void stop(int row);

signals:
    void recordingRowChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void take(const QKeyEvent& event);
    void record(int row);
    void stopUnlessStillThere();

    BindingListModel& m_bindings;
    const KeyTranslation& m_keys;
    QPointer<QWindow> m_window;
    QMetaObject::Connection m_hidden;
    QMetaObject::Connection m_deactivated;
    QPersistentModelIndex m_recording;
    bool m_filtering = false;
};

} // namespace tarnwick
