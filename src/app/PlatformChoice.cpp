#include "app/PlatformChoice.h"

#include <optional>
#include <string_view>

namespace tarnwick {
namespace {

using Desktop = PlatformChoice::Desktop;

// Qt's plugins by the desktop they draw on; ours by the same names.
std::optional<Desktop> desktopOf(std::string_view qtPlatform) {
    if (qtPlatform == "x11" || qtPlatform == "xcb") {
        return Desktop::x11;
    }
    if (qtPlatform.starts_with("wayland")) {
        return Desktop::wayland;
    }
    return std::nullopt;
}

// Qt reads an option with one dash or two.
bool isOption(std::string_view argument, std::string_view name) {
    if (argument.starts_with("--")) {
        argument.remove_prefix(1);
    }
    return argument.size() == name.size() + 1 && argument.front() == '-' &&
           argument.substr(1) == name;
}

} // namespace

PlatformChoice PlatformChoice::make(std::span<const char* const> arguments,
                                    const Environment& environment) {
    PlatformChoice choice;
    choice.waylandSession =
        environment.sessionType == "wayland" || !environment.waylandDisplay.empty();
    std::optional<std::string> platform;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool takesValue =
            i > 0 && (isOption(argument, "platform") || isOption(argument, "display"));
        if (takesValue && i + 1 == arguments.size()) {
            choice.error = std::string(argument) + " needs a value" +
                           (isOption(argument, "platform") ? ": x11 or wayland" : "");
            return choice;
        }
        if (takesValue && isOption(argument, "platform")) {
            platform = arguments[++i];
        } else if (takesValue) {
            choice.display = arguments[++i];
            choice.qtArguments.insert(choice.qtArguments.end(), {"-display", choice.display});
        } else {
            choice.qtArguments.emplace_back(argument);
        }
    }
    const std::string_view fromEnvironment =
        std::string_view(environment.qtPlatform).substr(0, environment.qtPlatform.find(';'));
    const auto named = desktopOf(platform ? *platform : fromEnvironment);
    choice.desktop = named                     ? *named
                     : !choice.display.empty() ? Desktop::x11
                     : choice.waylandSession   ? Desktop::wayland
                                               : Desktop::x11;
    // Qt reads $QT_QPA_PLATFORM itself, and takes its own plugin names as given.
    if (platform) {
        choice.qtArguments.insert(choice.qtArguments.end(),
                                  {"-platform", *platform == "x11" ? "xcb" : *platform});
    } else if (fromEnvironment.empty()) {
        choice.qtArguments.insert(
            choice.qtArguments.end(),
            {"-platform", choice.desktop == Desktop::x11 ? "xcb" : "wayland"});
    }
    return choice;
}

} // namespace tarnwick
