#pragma once

#include <QLoggingCategory>

namespace tarnwick::x11 {

// Diagnostics of the X11 services (QT_LOGGING_RULES="tarnwick.x11.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcX11)

} // namespace tarnwick::x11
