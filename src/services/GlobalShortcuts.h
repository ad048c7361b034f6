#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

// One shortcut asked of a desktop that keeps the keys itself (the
// GlobalShortcuts portal): the desktop decides which key, if any, fires it.
struct ShortcutRequest {
    std::string id;          // the binding's id
    std::string description; // the binding's name
    // The key wished for, spelled in freedesktop.org's XDG Shortcuts format
    // ("CTRL+SHIFT+Y"); empty for none.
    std::string preferredTrigger;

    friend bool operator==(const ShortcutRequest&, const ShortcutRequest&) = default;
};

// What the desktop really gave one shortcut.
struct ShortcutAssignment {
    std::string id;
    // The desktop's own text of the key ("Ctrl+Shift+Y"); empty when none
    // was assigned.
    std::string trigger;

    friend bool operator==(const ShortcutAssignment&, const ShortcutAssignment&) = default;
};

// System-wide shortcuts that the desktop owns and tells us of. Everything
// is asynchronous; every handler is called on the main thread.
class GlobalShortcuts {
public:
    struct Handlers {
        // A shortcut fired.
        std::function<void(const std::string& id)> activated;
        // The keys really assigned, after each bind and whenever the user
        // changes them in the desktop's settings; every bound id appears.
        std::function<void(const std::vector<ShortcutAssignment>&)> assigned;
        // Shortcuts cannot be had (no portal, refused, the portal went):
        // one line for the log; nothing until they can again.
        std::function<void(const std::string& reason)> unavailable;
    };

    virtual ~GlobalShortcuts() = default;

    virtual void setHandlers(Handlers handlers) = 0;
    // Makes the desktop's set exactly these shortcuts, replacing the last
    // set; an empty list binds nothing.
    virtual void bind(std::vector<ShortcutRequest> shortcuts) = 0;
};

} // namespace tarnwick
