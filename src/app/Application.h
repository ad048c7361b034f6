#pragma once

namespace tarnwick {

// The tray application: runs until "Quit Tarnwick". Its exit status.
int runApplication(int argc, char* argv[]);

} // namespace tarnwick
