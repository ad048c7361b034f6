#pragma once

namespace tarnwick {

// The one name Tarnwick goes by on the desktop: its desktop file
// (<id>.desktop), its icon, its D-Bus name, and what portals know it as.
inline constexpr char applicationId[] = "io.github.tarnwick.Tarnwick";
// The object on that name, and its interface (io.github.tarnwick.Tarnwick.xml).
inline constexpr char applicationObjectPath[] = "/io/github/tarnwick/Tarnwick";
inline constexpr char applicationInterface[] = "io.github.tarnwick.Tarnwick";

} // namespace tarnwick
