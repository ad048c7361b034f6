#pragma once

#include "services/GlobalShortcuts.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QDBusMessage;
class QDBusServiceWatcher;

namespace tarnwick::portal {

struct PortalAnswer;

// Global shortcuts through the desktop portal's GlobalShortcuts interface,
// every call asynchronous on the main thread. One session at a time, always
// under the same session_handle_token, so that the desktop keeps one set of
// shortcuts for us and the keys the user gave them survive restarts.
//
// What the portals do (xdg-desktop-portal 1.16 with xdg-desktop-portal-kde
// 5.27 on KWin, measured on the headless chain of tests/portal; Plasma 6 and
// GNOME 48 from their sources):
// - The interface's version is 1 under KDE 5.27 and under Plasma 6 alike, so
//   it cannot tell the two dialects apart.
// - KDE 5.27 registers shortcuts only from CreateSession's "shortcuts"
//   option; its BindShortcuts registers nothing and opens System Settings.
//   Its CreateSession answer carries "shortcuts" in the Response results,
//   where the documented backends answer only session_handle. That key
//   decides: present, the session holds them already; absent, BindShortcuts
//   once for the session, as documented.
// - kglobalaccel names the component after the application id and the token,
//   concatenated; with no application id the token alone names it. Actions
//   stay in it after we leave, and a press of any of them reaches our
//   session, even one of an earlier set: Activated counts only for the ids of
//   the set bound now.
// - The first answer for a shortcut new to kglobalaccel repeats the key asked
//   for even when another component holds it and none was assigned;
//   ListShortcuts on that session says the same. A new session under the same
//   token reports what kglobalaccel stored (""): when the first answer names
//   any key, the session is made once more and its answer believed.
// - A changed preferred trigger does not move the key of a shortcut that
//   already has one: the desktop keeps the stored key (perhaps the user's).
//   ListShortcuts shows which, and that is what `assigned` reports.
// - When xdg-desktop-portal restarts, KDE's backend still holds our old
//   session under the same path (our unique name and the token) and answers
//   a new CreateSession with 2 for as long as our connection lives: reported
//   as unavailable, and tried again at the next bind(). (The backend's session
//   could be closed directly on its own bus name, but that reaches past the
//   portal into one desktop's internals.)
class GlobalShortcutsPortal final : public QObject, public GlobalShortcuts {
    Q_OBJECT
public:
    // applicationId ("io.github.tarnwick.Tarnwick") gives the token: its last
    // part in lower case ("tarnwick").
    GlobalShortcutsPortal(QDBusConnection connection, const std::string& applicationId,
                          QObject* parent = nullptr);
    ~GlobalShortcutsPortal() override;
    GlobalShortcutsPortal(const GlobalShortcutsPortal&) = delete;
    GlobalShortcutsPortal& operator=(const GlobalShortcutsPortal&) = delete;

    void setHandlers(Handlers handlers) override;
    // Replaces the session's set. A bind while one is on its way waits for
    // it, and only the last set asked for meanwhile is bound next.
    void bind(std::vector<ShortcutRequest> shortcuts) override;

    const QString& sessionToken() const { return m_token; }
    // The live session's handle; empty when there is none.
    const QString& sessionHandle() const { return m_session; }

private Q_SLOTS:
    void onActivated(const QDBusMessage& message);
    void onShortcutsChanged(const QDBusMessage& message);
    void onSessionClosed(const QDBusMessage& message);
    void onPortalOwnerChanged(const QString& name, const QString& oldOwner,
                              const QString& newOwner);

private:
    void closeSession(std::function<void()> next);
    void startPass();
    void createSession();
    void onSessionCreated(const PortalAnswer& answer);
    void bindShortcuts();
    void listShortcuts();
    void request(const QString& method, QVariantList arguments,
                 void (GlobalShortcutsPortal::*next)(const PortalAnswer&));
    void onBound(const PortalAnswer& answer);
    void onListed(const PortalAnswer& answer);
    void finishPass(std::vector<ShortcutAssignment> assigned);
    void failPass(const std::string& reason);
    void cancelPass();
    void forgetSession();
    void reportUnavailable(const std::string& reason);
    std::string reasonFor(const QString& method, const PortalAnswer& answer) const;
    bool isBound(const QString& id) const;

    QDBusConnection m_connection;
    QString m_token;
    Handlers m_handlers;
    QDBusServiceWatcher* m_portalWatcher;
    std::optional<std::vector<ShortcutRequest>> m_wanted; // the last set asked for
    std::vector<ShortcutRequest> m_passSet;               // the set of the pass on its way
    std::vector<ShortcutRequest> m_bound;                 // the set the live session holds
    std::vector<ShortcutAssignment> m_assigned;           // last reported for m_bound
    QString m_session;
    unsigned m_pass = 0; // answers of an earlier pass are dropped
    unsigned m_requests = 0;
    bool m_busy = false;
    bool m_bindAgain = false;
    bool m_rechecked = false;
    bool m_unavailable = false;    // reported, and no bind has worked since
    bool m_portalReturned = false; // a new portal came, and no bind has worked since
};

} // namespace tarnwick::portal
