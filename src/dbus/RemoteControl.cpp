#include "dbus/RemoteControl.h"

#include "dbus/ApplicationId.h"
#include "dbus/DBusService.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

#include <cstdio>
#include <string_view>

namespace tarnwick {
namespace {

// Long enough for a busy instance, short enough for a key binding.
constexpr int kCallTimeoutMs = 10000;

const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// A call to the instance that owns the name, or the error of there being none.
QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return QDBusMessage::createError(QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
                                         QStringLiteral("no D-Bus session bus, so no running "
                                                        "Tarnwick can be reached"));
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QString::fromLatin1(applicationId), QString::fromLatin1(applicationObjectPath), interface,
        method);
    message.setArguments(arguments);
    message.setAutoStartService(false);
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
    return call(QString::fromLatin1(applicationInterface), method, arguments);
}

std::string describe(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner")) {
        return "Tarnwick is not running";
    }
    return reply.errorMessage().toStdString();
}

int fail(const std::string& message) {
    std::fprintf(stderr, "tarnwick: %s\n", message.c_str());
    return 1;
}

int failed(const QDBusMessage& reply) {
    return fail(describe(reply));
}

bool isError(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage;
}

// Runs the binding given by its id (in either case) or else by its name, which must be unique.
int run(const std::string& given) {
    if (given.empty()) {
        return fail("--run needs the id or name of a binding");
    }
    const QDBusMessage listed = call(QStringLiteral("ListBindings"));
    if (isError(listed)) {
        return failed(listed);
    }
    BindingSummaries bindings;
    listed.arguments().value(0).value<QDBusArgument>() >> bindings;
    const QString wanted = QString::fromStdString(given);
    QStringList ids;
    for (const BindingSummary& binding : bindings) {
        if (binding.id.compare(wanted, Qt::CaseInsensitive) == 0) {
            ids = {binding.id};
            break;
        }
        if (binding.name == wanted) {
            ids.push_back(binding.id);
        }
    }
    if (ids.isEmpty()) {
        return fail("no binding has the id or name \"" + given + "\"");
    }
    if (ids.size() > 1) {
        return fail(std::to_string(ids.size()) + " bindings are named \"" + given +
                    "\": give the id of one (" + ids.join(QStringLiteral(", ")).toStdString() +
                    ")");
    }
    const QDBusMessage ran = call(QStringLiteral("RunBinding"), {ids.front()});
    return isError(ran) ? failed(ran) : 0;
}

int toggle() {
    const QString interface = QString::fromLatin1(applicationInterface);
    const QString property = QStringLiteral("Enabled");
    const QDBusMessage got = call(kProperties, QStringLiteral("Get"), {interface, property});
    if (isError(got)) {
        return failed(got);
    }
    const bool enabled = !got.arguments().value(0).value<QDBusVariant>().variant().toBool();
    const QDBusMessage set =
        call(kProperties, QStringLiteral("Set"),
             {interface, property, QVariant::fromValue(QDBusVariant(enabled))});
    if (isError(set)) {
        return failed(set);
    }
    std::puts(enabled ? "Triggers enabled" : "Triggers disabled");
    return 0;
}

} // namespace

std::optional<RemoteControl::Request>
RemoteControl::requested(std::span<const char* const> arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--toggle") {
            return Request{Request::Kind::toggle, {}};
        }
        if (argument == "--settings") {
            return Request{Request::Kind::settings, {}};
        }
        if (argument == "--run") {
            return Request{Request::Kind::run, i + 1 < arguments.size() ? arguments[i + 1] : ""};
        }
        if (argument.starts_with("--run=")) {
            return Request{Request::Kind::run, std::string(argument.substr(6))};
        }
    }
    return std::nullopt;
}

int RemoteControl::send(const Request& request, int argc, char* argv[]) {
    // QtDBus wants an application object; this one opens no display.
    const QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<BindingSummary>();
    qDBusRegisterMetaType<BindingSummaries>();
    switch (request.kind) {
    case Request::Kind::run: return run(request.binding);
    case Request::Kind::toggle: return toggle();
    case Request::Kind::settings: {
        const auto error = showSettings();
        return error ? fail(*error) : 0;
    }
    }
    return 1;
}

std::optional<std::string> RemoteControl::showSettings() {
    const QDBusMessage reply = call(QStringLiteral("ShowSettings"));
    if (isError(reply)) {
        return describe(reply);
    }
    return std::nullopt;
}

} // namespace tarnwick
