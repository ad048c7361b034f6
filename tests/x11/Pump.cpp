#include "Pump.h"

#include "platform/x11/Display.h"

#include <poll.h>

namespace tarnwick::test {

bool pumpUntil(x11::Display& display, const std::function<bool()>& done,
               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        display.processEvents();
        if (done()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        // While reading is held off, the socket is not watched.
        pollfd p{display.readingHeldUntil() ? -1 : display.fileDescriptor(), POLLIN, 0};
        ::poll(&p, 1, 5);
    }
}

void pumpFor(x11::Display& display, std::chrono::milliseconds duration) {
    pumpUntil(
        display, [] { return false; }, duration);
}

} // namespace tarnwick::test
