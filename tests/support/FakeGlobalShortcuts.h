#pragma once

#include "services/GlobalShortcuts.h"

#include <string>
#include <vector>

namespace tarnwick::test {

// A desktop that keeps the keys: records every bind and plays the desktop's
// answers when the test says.
class FakeGlobalShortcuts final : public GlobalShortcuts {
public:
    void setHandlers(Handlers given) override { handlers = std::move(given); }
    void bind(std::vector<ShortcutRequest> shortcuts) override {
        binds.push_back(std::move(shortcuts));
    }

    void activate(const std::string& id) const { handlers.activated(id); }
    void assign(const std::vector<ShortcutAssignment>& assignments) const {
        handlers.assigned(assignments);
    }
    void refuse(const std::string& reason) const { handlers.unavailable(reason); }

    Handlers handlers;
    std::vector<std::vector<ShortcutRequest>> binds;
};

} // namespace tarnwick::test
