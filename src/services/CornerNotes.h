#pragma once

#include <array>
#include <string>

namespace tarnwick {

// What the settings window says about hot corners on this desktop. The
// default is a desktop where our own watcher sees the pointer: nothing to say.
struct CornerNotes {
    // False where corners cannot work at all: the bindings stay, nothing runs.
    bool available = true;
    // How corners feel here, one line for every corner card; or "".
    std::string behaviour;
    // By corner, in ScreenCorner's order: what the desktop itself does with
    // that corner, which wins over ours; or "".
    std::array<std::string, 4> heldBy;
    // Stands in for the corner size where the desktop, not we, decides it; or "".
    std::string size;

    // A desktop where corners cannot work.
    static CornerNotes unavailable() {
        CornerNotes notes;
        notes.available = false;
        return notes;
    }

    friend bool operator==(const CornerNotes&, const CornerNotes&) = default;
};

} // namespace tarnwick
