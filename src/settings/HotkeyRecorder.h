#pragma once

#include <QObject>
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
// on the binding, found by id, and saves. At most one binding records at a
// time, and only while the window is shown and has the focus.
class HotkeyRecorder final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("made by the settings window")
    Q_PROPERTY(QString recordingId READ recordingId NOTIFY recordingIdChanged)

public:
    HotkeyRecorder(BindingListModel& bindings, const KeyTranslation& keys,
                   QObject* parent = nullptr);
    ~HotkeyRecorder() override;

    QString recordingId() const { return m_recordingId; }

    // The window whose keys are taken. Hiding it or its losing the focus
    // stops a recording, saving nothing.
    void setWindow(QWindow* window);

    // Starts recording for the binding, or stops when it is the one recording.
    Q_INVOKABLE void toggle(const QString& bindingId);
    // Stops recording if this binding is the one recording (its card went away).
    Q_INVOKABLE void stop(const QString& bindingId);

signals:
    void recordingIdChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void take(const QKeyEvent& event);
    void setRecordingId(const QString& id);

    BindingListModel& m_bindings;
    const KeyTranslation& m_keys;
    QPointer<QWindow> m_window;
    QMetaObject::Connection m_hidden;
    QMetaObject::Connection m_deactivated;
    QString m_recordingId;
};

} // namespace tarnwick
