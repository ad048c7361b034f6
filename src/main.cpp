#include "app/Application.h"
#include "dbus/RemoteControl.h"
#include "selftest/SelfTest.h"

#include <span>

int main(int argc, char* argv[]) {
    const std::span<const char* const> arguments(argv, static_cast<std::size_t>(argc));
    if (tarnwick::SelfTest::requested(arguments)) {
        return tarnwick::SelfTest::runOnStdout() == 0 ? 0 : 1;
    }
    // Requests to the running instance: no display, no second instance.
    if (const auto request = tarnwick::RemoteControl::requested(arguments)) {
        return tarnwick::RemoteControl::send(*request, argc, argv);
    }
    return tarnwick::runApplication(argc, argv);
}
