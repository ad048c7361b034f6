#include "app/Application.h"
#include "selftest/SelfTest.h"

#include <iostream>
#include <span>

int main(int argc, char* argv[]) {
    const std::span<const char* const> arguments(argv, static_cast<std::size_t>(argc));
    if (tarnwick::SelfTest::requested(arguments)) {
        return tarnwick::SelfTest::run(std::cout) == 0 ? 0 : 1;
    }
    return tarnwick::runApplication(argc, argv);
}
