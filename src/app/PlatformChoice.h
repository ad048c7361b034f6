#pragma once

#include <span>
#include <string>
#include <vector>

namespace tarnwick {

// Which desktop backend the program runs with, and what Qt is told to match
// it. Qt is told through its arguments, never QT_QPA_PLATFORM, so that the
// commands we start inherit the user's environment unchanged.
//
// In order: `--platform x11|wayland` (or Qt's own -platform with a Qt plugin
// name, which Qt also spells with two dashes and which this option stands
// for); else $QT_QPA_PLATFORM's first entry; else an X display named with
// -display means X11; else a Wayland session ($WAYLAND_DISPLAY set, or
// $XDG_SESSION_TYPE=wayland) means a native Wayland client, anything else X11.
struct PlatformChoice {
    enum class Desktop { x11, wayland };

    struct Environment {
        std::string qtPlatform;     // $QT_QPA_PLATFORM
        std::string waylandDisplay; // $WAYLAND_DISPLAY
        std::string sessionType;    // $XDG_SESSION_TYPE
    };

    // From the program's arguments, its path first.
    static PlatformChoice make(std::span<const char* const> arguments,
                               const Environment& environment);

    Desktop desktop = Desktop::x11;
    // Qt's arguments, the program's path first.
    std::vector<std::string> qtArguments;
    // The X display named with -display; empty for $DISPLAY.
    std::string display;
    // Why the arguments cannot be followed, for one line on stderr.
    std::string error;
    // Whether the session is a Wayland one, whichever desktop was chosen.
    bool waylandSession = false;
};

} // namespace tarnwick
