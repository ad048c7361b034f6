#include "portal/FakePortal.h"

namespace tarnwick::test {

bool FakePortal::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    const QString method = message.member();
    if (message.path() != kPath) { // a session's Close
        calls.push_back("Close");
        m_sessions.erase(message.path());
        m_bus.send(message.createReply());
        return true;
    }
    const bool registry = message.interface() == "org.freedesktop.host.portal.Registry";
    if ((registry && m_interfaces != Interfaces::withRegistry) ||
        (!registry && m_interfaces == Interfaces::none)) {
        m_bus.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownMethod",
                                            "No such interface " + message.interface()));
        return true;
    }
    if (registry) {
        calls.push_back("Register " + message.arguments().at(0).toString().toStdString());
        m_bus.send(message.createReply());
        return true;
    }
    if (m_holding) {
        m_held.push_back(message);
        return true;
    }
    const uint code = codes[method.toStdString()];
    std::string line = method.toStdString();
    const auto arguments = message.arguments();
    QVariantMap results;
    if (method == "CreateSession") {
        const auto options = qdbus_cast<QVariantMap>(arguments.at(0));
        const QString token = options.value("session_handle_token").toString();
        const QString path = kPath + "/session/" + senderPart(message) + "/" + token;
        line += " " + token.toStdString();
        const bool clash = m_sessions.contains(path); // a token still in use
        if (code == 0 && !clash) {
            m_sessions[path] = {};
            results["session_handle"] = path;
            m_last = path;
        }
        answer(message, clash ? 2 : code, results);
    } else {
        const QString path = qdbus_cast<QDBusObjectPath>(arguments.at(0)).path();
        auto session = m_sessions.find(path);
        uint failed = session == m_sessions.end() ? 2 : code;
        if (method == "BindShortcuts" && failed == 0) {
            take(session->second, arguments.at(1), line);
            failed = session->second.bound ? 2 : 0;
            session->second.bound = true;
            session->second.answered = listed(session->second.shortcuts);
        } else if (failed == 0 && method == "ListShortcuts") {
            results["shortcuts"] = session->second.answered;
        }
        answer(message, failed, results);
    }
    calls.push_back(line);
    return true;
}

} // namespace tarnwick::test
