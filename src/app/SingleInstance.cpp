#include "app/SingleInstance.h"

#include "app/Logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tarnwick {
namespace {

constexpr std::string_view kShowSettings = "show-settings\n";

QString sanitized(const QString& display) {
    QString result;
    for (const QChar c : display) {
        result += c.isLetterOrNumber() || c == QLatin1Char('.') ? c : QLatin1Char('_');
    }
    return result;
}

// The socket's address; false when the path does not fit.
bool addressOf(const QString& path, sockaddr_un& address) {
    const QByteArray bytes = QFile::encodeName(path);
    address = {};
    address.sun_family = AF_UNIX;
    if (bytes.size() >= static_cast<qsizetype>(sizeof address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

UniqueFd localSocket() {
    return UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

} // namespace

SingleInstance::SingleInstance(const QString& directory, const QString& display, QObject* parent)
    : QObject(parent),
      m_base(QDir(directory).filePath(
          QStringLiteral("tarnwick-%1-%2").arg(::getuid()).arg(sanitized(display)))) {}

SingleInstance::~SingleInstance() = default;

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
        if (!listen()) {
            // Still the instance; a second start just cannot bring its window up.
            qCWarning(lcApp).noquote() << "cannot listen for later starts:" << std::strerror(errno);
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

bool SingleInstance::listen() {
    sockaddr_un address{};
    UniqueFd fd = localSocket();
    if (!fd.valid() || !addressOf(m_base + QStringLiteral(".socket"), address)) {
        return false;
    }
    // What is there was left by an instance before us: we hold the lock.
    ::unlink(address.sun_path);
    const mode_t mask = ::umask(0077); // the socket is ours alone
    const bool bound = ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address),
                              sizeof address) == 0;
    ::umask(mask);
    if (!bound || ::listen(fd.get(), 8) != 0) {
        return false;
    }
    m_listener = std::move(fd);
    m_listening = std::make_unique<QSocketNotifier>(m_listener.get(), QSocketNotifier::Read);
    connect(m_listening.get(), &QSocketNotifier::activated, this, &SingleInstance::accept);
    return true;
}

void SingleInstance::accept() {
    for (;;) {
        UniqueFd caller(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!caller.valid()) {
            return;
        }
        const int fd = caller.get();
        auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier.get(), &QSocketNotifier::activated, this, [this, fd] { read(fd); });
        m_callers[fd] = {std::move(caller), std::move(notifier)};
    }
}

// A caller says one short line and goes; anything else ends its connection.
void SingleInstance::read(int fd) {
    char buffer[64];
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    if (n > 0 && std::string_view(buffer, static_cast<std::size_t>(n)) == kShowSettings) {
        emit showSettingsRequested();
    }
    if (auto caller = m_callers.find(fd); caller != m_callers.end()) {
        caller->second.second->setEnabled(false);
        // Not from inside the notifier's own signal.
        caller->second.second.release()->deleteLater();
        m_callers.erase(caller);
    }
}

bool SingleInstance::askRunningInstance() const {
    sockaddr_un address{};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid() || !addressOf(m_base + QStringLiteral(".socket"), address) ||
        ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return false;
    }
    const timeval timeout{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    return ::send(fd.get(), kShowSettings.data(), kShowSettings.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(kShowSettings.size());
}

} // namespace tarnwick
