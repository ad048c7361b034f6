#pragma once

#include <QLoggingCategory>

namespace tarnwick::portal {

// Diagnostics of the portal client (QT_LOGGING_RULES="tarnwick.portal.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcPortal)

} // namespace tarnwick::portal
