#pragma once

#include "services/GlobalShortcuts.h"

#include <functional>
#include <memory>
#include <string>

namespace tarnwick::portal {

// The desktop's global shortcuts as the application uses them: on a session
// bus connection of their own, and only once the portal knows us by
// applicationId (see ApplicationScope), which must come before any other
// portal call. Binds asked for meanwhile wait; the last one counts. log is
// told, once, what the portal knows us by.
std::unique_ptr<GlobalShortcuts>
makePortalShortcuts(const std::string& applicationId,
                    std::function<void(const std::string& line)> log);

} // namespace tarnwick::portal
