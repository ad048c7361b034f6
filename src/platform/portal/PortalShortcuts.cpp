#include "platform/portal/PortalShortcuts.h"

#include "platform/portal/ApplicationScope.h"
#include "platform/portal/GlobalShortcutsPortal.h"

#include <optional>
#include <utility>
#include <vector>

namespace tarnwick::portal {
namespace {

class PortalShortcuts final : public GlobalShortcuts {
public:
    PortalShortcuts(const std::string& applicationId, std::function<void(const std::string&)> log)
        : m_connection(QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                     QStringLiteral("tarnwick-portal"))),
          m_scope(m_connection, applicationId), m_applicationId(applicationId),
          m_log(std::move(log)) {}
    ~PortalShortcuts() override {
        m_portal.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("tarnwick-portal"));
    }
    PortalShortcuts(const PortalShortcuts&) = delete;
    PortalShortcuts& operator=(const PortalShortcuts&) = delete;

    void setHandlers(Handlers handlers) override {
        m_handlers = std::move(handlers);
        if (m_portal) {
            m_portal->setHandlers(m_handlers);
        }
    }

    void bind(std::vector<ShortcutRequest> shortcuts) override {
        if (m_portal) {
            m_portal->bind(std::move(shortcuts));
            return;
        }
        // Not before the first bind: a second instance, which only hands
        // over to the first, never talks to the portal.
        if (!std::exchange(m_establishing, true)) {
            m_scope.establish([this](const std::string& line) { established(line); });
        }
        m_waiting = std::move(shortcuts);
    }

private:
    void established(const std::string& line) {
        if (m_log) {
            m_log(line);
        }
        m_portal.emplace(m_connection, m_applicationId);
        m_portal->setHandlers(m_handlers);
        if (m_waiting) {
            m_portal->bind(std::move(*m_waiting));
            m_waiting.reset();
        }
    }

    QDBusConnection m_connection;
    ApplicationScope m_scope;
    std::string m_applicationId;
    std::function<void(const std::string&)> m_log;
    bool m_establishing = false;
    Handlers m_handlers;
    std::optional<std::vector<ShortcutRequest>> m_waiting;
    std::optional<GlobalShortcutsPortal> m_portal;
};

} // namespace

std::unique_ptr<GlobalShortcuts>
makePortalShortcuts(const std::string& applicationId,
                    std::function<void(const std::string& line)> log) {
    return std::make_unique<PortalShortcuts>(applicationId, std::move(log));
}

} // namespace tarnwick::portal
