#include "platform/SystemLog.h"

#include <QDateTime>

#include <string>
#include <syslog.h>

namespace tarnwick {

SystemLog::SystemLog(std::FILE* echo) : m_echo(echo) {
    ::openlog("tarnwick", LOG_PID, LOG_USER);
}

SystemLog::~SystemLog() {
    ::closelog();
}

void SystemLog::write(std::string_view line) {
    const std::string text(line);
    ::syslog(LOG_NOTICE, "%s", text.c_str());
    if (m_echo != nullptr) {
        const QByteArray stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8();
        std::fprintf(m_echo, "%s %s\n", stamp.constData(), text.c_str());
        std::fflush(m_echo);
    }
}

} // namespace tarnwick
