#pragma once

#include <chrono>
#include <functional>

namespace tarnwick::x11 {
class Display;
}

namespace tarnwick::test {

// Calls display.processEvents() as the application's loop would, until done()
// holds or the deadline passes; whether done() held.
bool pumpUntil(x11::Display& display, const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(5));
// Keeps processing events for a while, for checks that nothing happens.
void pumpFor(x11::Display& display, std::chrono::milliseconds duration);

} // namespace tarnwick::test
