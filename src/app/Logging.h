#pragma once

#include <QLoggingCategory>

namespace tarnwick {

// Diagnostics of the application shell (QT_LOGGING_RULES="tarnwick.app.debug=true");
// the log lines the program owes its users go to the system log instead.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

} // namespace tarnwick
