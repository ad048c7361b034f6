#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

class QKeyEvent;

namespace tarnwick {

class BindingListModel;
class KeyTranslation;

// Records one binding's hotkey from the next key pressed in the application:
// while recording, an application-wide event filter takes that key press
// (it never reaches a window), stores its combination on the binding, found
// by id, and saves. At most one binding records at a time.
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
    QString m_recordingId;
};

} // namespace tarnwick
