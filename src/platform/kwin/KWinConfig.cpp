#include "platform/kwin/KWinConfig.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tarnwick::kwin {
namespace {

std::string_view trimmed(std::string_view s) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!s.empty() && space(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && space(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string lower(std::string_view s) {
    std::string result(s);
    std::ranges::transform(result, result.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

const std::string* entry(const KConfigGroups& config, std::string_view group,
                         std::string_view key) {
    const auto g = config.find(group);
    if (g == config.end()) {
        return nullptr;
    }
    const auto k = g->second.find(key);
    return k == g->second.end() ? nullptr : &k->second;
}

// As KWin reads a number: anything else is the default.
int number(const KConfigGroups& config, std::string_view group, std::string_view key,
           int fallback) {
    const std::string* text = entry(config, group, key);
    int value = fallback;
    if (text != nullptr &&
        std::from_chars(text->data(), text->data() + text->size(), value).ec != std::errc{}) {
        value = fallback;
    }
    return std::max(value, 0);
}

// KWin's numbers for the corners (its ElectricBorder), and their keys in
// [ElectricBorders], in ScreenCorner's order.
constexpr std::array<int, 4> borderNumbers{7, 1, 5, 3};
constexpr std::array<std::string_view, 4> borderKeys{"TopLeft", "TopRight", "BottomLeft",
                                                     "BottomRight"};

// [ElectricBorders]' actions, by the names System Settings gives them.
std::string actionName(std::string_view value) {
    static const std::map<std::string, std::string, std::less<>> names{
        {"showdesktop", "Show Desktop"},
        {"lockscreen", "Lock Screen"},
        {"krunner", "KRunner"},
        {"activitymanager", "Activity Manager"},
        {"applicationlauncher", "Application Launcher"}};
    const auto name = names.find(lower(trimmed(value)));
    return name == names.end() ? std::string() : name->second;
}

// Effects and the window switcher keep the corners they use as a list of
// KWin's numbers; each only while its plugin is on. Unset, KWin 5 gives the
// top-left corner to Present Windows.
struct BorderUser {
    std::string_view group, key, name, plugin, unset;
};
constexpr std::array<BorderUser, 7> borderUsers{{
    {"Effect-overview", "BorderActivate", "Overview", "overview", ""},
    {"Effect-windowview", "BorderActivate", "Present Windows (current desktop)", "windowview", ""},
    {"Effect-windowview", "BorderActivateAll", "Present Windows (all desktops)", "windowview", "7"},
    {"Effect-windowview", "BorderActivateClass", "Present Windows (current application)",
     "windowview", ""},
    {"Effect-desktopgrid", "BorderActivate", "Desktop Grid", "desktopgrid", ""},
    {"TabBox", "BorderActivate", "the window switcher", "", ""},
    {"TabBox", "BorderAlternativeActivate", "the alternative window switcher", "", ""},
}};

bool listHas(std::string_view list, int number) {
    std::istringstream items{std::string(list)};
    for (std::string item; std::getline(items, item, ',');) {
        const std::string_view text = trimmed(item);
        int value = -1;
        if (std::from_chars(text.data(), text.data() + text.size(), value).ec == std::errc{} &&
            value == number) {
            return true;
        }
    }
    return false;
}

// A built-in plugin is on unless switched off; a script only when switched on.
bool pluginOn(const KConfigGroups& config, std::string_view plugin, bool byDefault) {
    const std::string* enabled = entry(config, "Plugins", std::string(plugin) + "Enabled");
    return enabled == nullptr ? byDefault : lower(trimmed(*enabled)) == "true";
}

} // namespace

void mergeKConfig(std::string_view text, KConfigGroups& groups) {
    std::string group = "<default>";
    std::istringstream lines{std::string(text)};
    for (std::string raw; std::getline(lines, raw);) {
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            // "[Name]", maybe followed by flags such as "[$i]".
            const auto end = line.find(']');
            group = std::string(line.substr(1, end == std::string_view::npos ? 0 : end - 1));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        // "Key[$i]" and "Key[de]" name the key "Key": flags and translations.
        std::string_view key = trimmed(line.substr(0, equals));
        key = trimmed(key.substr(0, key.find('[')));
        groups[group].emplace(std::string(key), std::string(trimmed(line.substr(equals + 1))));
    }
}

KConfigGroups readKWinConfig() {
    std::vector<std::string> directories;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (configHome != nullptr && *configHome == '/') {
        directories.emplace_back(configHome);
    } else if (home != nullptr) {
        directories.push_back(std::string(home) + "/.config");
    }
    const char* configDirs = std::getenv("XDG_CONFIG_DIRS");
    std::istringstream dirs(configDirs != nullptr && *configDirs != '\0' ? configDirs : "/etc/xdg");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (!dir.empty()) {
            directories.push_back(dir);
        }
    }
    KConfigGroups config;
    for (const std::string& dir : directories) {
        std::ifstream file(dir + "/kwinrc", std::ios::binary);
        if (file) {
            std::ostringstream text;
            text << file.rdbuf();
            mergeKConfig(text.str(), config);
        }
    }
    return config;
}

EdgeSettings EdgeSettings::from(const KConfigGroups& config) {
    EdgeSettings settings;
    settings.delayMs = number(config, "Windows", "ElectricBorderDelay", settings.delayMs);
    settings.cooldownMs = number(config, "Windows", "ElectricBorderCooldown", settings.cooldownMs);
    settings.pushbackPx =
        number(config, "Windows", "ElectricBorderPushbackPixels", settings.pushbackPx);
    for (std::size_t corner = 0; corner < borderKeys.size(); ++corner) {
        std::string& held = settings.heldBy[corner];
        if (const std::string* action = entry(config, "ElectricBorders", borderKeys[corner])) {
            held = actionName(*action);
        }
        for (const BorderUser& user : borderUsers) {
            const std::string* list = entry(config, user.group, user.key);
            if (held.empty() && (user.plugin.empty() || pluginOn(config, user.plugin, true)) &&
                listHas(list != nullptr ? std::string_view(*list) : user.unset,
                        borderNumbers[corner])) {
                held = user.name;
            }
        }
        // Scripts that offer a corner keep it in their own group.
        for (const auto& [group, keys] : config) {
            const auto list = keys.find("BorderActivate");
            if (held.empty() && group.starts_with("Script-") && list != keys.end() &&
                pluginOn(config, group.substr(7), false) &&
                listHas(list->second, borderNumbers[corner])) {
                held = "the script " + group.substr(7);
            }
        }
    }
    return settings;
}

CornerNotes EdgeSettings::notes() const {
    // KWin lets a corner fire again only once the cooldown, counted from the
    // start of the push, is over, and never sooner than 50 ms after the delay.
    const int quiet = std::max(delayMs + 50, cooldownMs) - delayMs;
    CornerNotes notes;
    notes.behaviour = "KWin fires it " +
                      (pushbackPx == 0 ? std::string("at first touch")
                                       : "after " + std::to_string(delayMs) + " ms of pushing") +
                      ", not again for " + std::to_string(quiet) + " ms, and during drags too";
    for (std::size_t corner = 0; corner < heldBy.size(); ++corner) {
        if (!heldBy[corner].empty()) {
            notes.heldBy[corner] = "KWin uses this corner for " + heldBy[corner];
        }
    }
    notes.size = "decided by KWin";
    return notes;
}

} // namespace tarnwick::kwin
