#pragma once

#include "services/CornerNotes.h"

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::kwin {

// KConfig files (kwinrc) read as groups of keys. Only read: the user's KWin
// settings are theirs.
using KConfigGroup = std::map<std::string, std::string, std::less<>>;
using KConfigGroups = std::map<std::string, KConfigGroup, std::less<>>;

// Adds the groups and keys of one file in KConfig's format to groups, keeping
// the keys already there: a cascade is read from its most important file on.
void mergeKConfig(std::string_view text, KConfigGroups& groups);

// kwinrc as KWin reads it: the user's own file ($XDG_CONFIG_HOME), then those
// of $XDG_CONFIG_DIRS.
KConfigGroups readKWinConfig();

// What KWin's settings make of screen corners; its defaults where unset.
struct EdgeSettings {
    int delayMs = 150;    // how long the pointer must push before a corner fires
    int cooldownMs = 350; // counted from the start of a push that fired
    int pushbackPx = 1;   // 0: a corner fires at first touch
    // By corner, in ScreenCorner's order: the name of what KWin itself does
    // there, which wins over our script; or "".
    std::array<std::string, 4> heldBy;

    static EdgeSettings from(const KConfigGroups& config);
    // What the corner cards and the corner size say in a KWin session.
    CornerNotes notes() const;

    friend bool operator==(const EdgeSettings&, const EdgeSettings&) = default;
};

} // namespace tarnwick::kwin
