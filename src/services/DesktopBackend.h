#pragma once

#include "services/GlobalShortcuts.h"
#include "services/HotkeyService.h"
#include "services/KeyTranslation.h"
#include "services/PointerSource.h"
#include "services/WindowEffects.h"

#include <functional>
#include <string>
#include <vector>

namespace tarnwick {

// Everything the program needs of the desktop it runs on, chosen once at
// start. The services live as long as the backend.
class DesktopBackend {
public:
    virtual ~DesktopBackend() = default;

    virtual PointerSource& pointer() = 0;
    virtual HotkeyService& hotkeys() = 0;
    virtual KeyTranslation& keys() = 0;
    virtual WindowEffects& windowEffects() = 0;
    // Where the desktop, not we, owns the keys (Wayland's portal), hotkeys
    // go through this instead of hotkeys(); nothing elsewhere.
    virtual GlobalShortcuts* globalShortcuts() { return nullptr; }

    // The desktop session's name: one instance of the program runs per session.
    virtual std::string sessionName() const = 0;
    // Why some triggers cannot work here, one phrase each for the log.
    virtual std::vector<std::string> unavailableReasons() const = 0;

    // Starts delivering the desktop's events on the main thread's event loop;
    // onLost is called once if the connection to the desktop goes.
    virtual void start(std::function<void()> onLost) = 0;
};

} // namespace tarnwick
