#include "app/SingleInstance.h"

#include "app/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace tarnwick {
namespace {

constexpr QByteArrayView kShowSettings = "show-settings\n";

QString sanitized(const QString& display) {
    QString result;
    for (const QChar c : display) {
        result += c.isLetterOrNumber() || c == QLatin1Char('.') ? c : QLatin1Char('_');
    }
    return result;
}

} // namespace

SingleInstance::SingleInstance(const QString& directory, const QString& display, QObject* parent)
    : QObject(parent),
      m_base(QDir(directory).filePath(
          QStringLiteral("tarnwick-%1-%2").arg(::getuid()).arg(sanitized(display)))) {
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == kShowSettings.toByteArray()) {
                        emit showSettingsRequested();
                    }
                }
            });
        }
    });
}

QString SingleInstance::defaultDirectory() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        return runtime;
    }
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString ours = QDir(cache).filePath(QStringLiteral("tarnwick"));
    QDir().mkpath(ours);
    QFile::setPermissions(ours, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ExeOwner);
    return ours;
}

SingleInstance::Role SingleInstance::claim() {
    m_lock = std::make_unique<QLockFile>(m_base + QStringLiteral(".lock"));
    // A lock left by a crashed instance is taken over (QLockFile checks its pid).
    const bool locked = m_lock->tryLock(0);
    if (!locked && m_lock->error() != QLockFile::LockFailedError) {
        // Nobody else runs; we just cannot tell later starts that we do.
        qCWarning(lcApp).noquote() << "cannot take the lock" << m_base + QStringLiteral(".lock");
        return Role::primary;
    }
    if (locked) {
        QLocalServer::removeServer(m_base + QStringLiteral(".socket"));
        if (!m_server.listen(m_base + QStringLiteral(".socket"))) {
            // Still the instance; a second start just cannot bring its window up.
            qCWarning(lcApp).noquote() << "cannot listen for later starts:" << m_server.errorString();
        }
        return Role::primary;
    }
    // The running one may still be starting: give it a moment to listen.
    const QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        if (askRunningInstance()) {
            return Role::secondary;
        }
        QThread::msleep(50);
    }
    return Role::failed;
}

bool SingleInstance::askRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(m_base + QStringLiteral(".socket"));
    if (!socket.waitForConnected(500)) {
        return false;
    }
    socket.write(kShowSettings.data(), kShowSettings.size());
    const bool sent = socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return sent;
}

} // namespace tarnwick
