#pragma once

#include "posix/UniqueFd.h"

#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <map>
#include <memory>

namespace tarnwick {

// One running instance per user and display. The first holds a lock file and
// listens on a local socket beside it, both in the user's private runtime
// directory; a later one asks it to show its settings window and goes.
// A plain socket, not QLocalServer: Qt Network and what it loads would cost
// the always-running program more than a megabyte.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    enum class Role {
        primary,   // this process is the instance
        secondary, // another one runs and was asked to show its settings
        failed,    // another one holds the lock but does not answer
    };

    // directory: where the lock and the socket live; display: the X display name.
    SingleInstance(const QString& directory, const QString& display, QObject* parent = nullptr);
    ~SingleInstance() override;

    Role claim();

    // The directory the running program uses: $XDG_RUNTIME_DIR, else a
    // directory of ours in the user's cache directory, never a shared one
    // where another user could take the names first.
    static QString defaultDirectory();

signals:
    void showSettingsRequested();

private:
    bool listen();
    void accept();
    void read(int fd);
    bool askRunningInstance() const;

    QString m_base;
    std::unique_ptr<QLockFile> m_lock;
    UniqueFd m_listener;
    std::unique_ptr<QSocketNotifier> m_listening;
    // Each caller's connection until it has said its line or gone.
    std::map<int, std::pair<UniqueFd, std::unique_ptr<QSocketNotifier>>> m_callers;
};

} // namespace tarnwick
