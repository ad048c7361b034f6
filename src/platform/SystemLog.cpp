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
    // Neither syslog nor printf carries a NUL: it is written out, so that a
    // command holding one is logged whole.
    std::string text;
    for (const char c : line) {
        text += c == '\0' ? std::string_view("\\0") : std::string_view(&c, 1);
    }
    ::syslog(LOG_NOTICE, "%s", text.c_str());
    if (m_echo != nullptr) {
        const QByteArray stamp = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toUtf8();
        std::fprintf(m_echo, "%s %s\n", stamp.constData(), text.c_str());
        std::fflush(m_echo);
    }
}

} // namespace tarnwick
