#include "selftest/SelfTest.h"

#include <cstdio>
#include <iostream>
#include <span>

int main(int argc, char* argv[]) {
    const std::span<const char* const> arguments(argv, static_cast<std::size_t>(argc));
    if (tarnwick::SelfTest::requested(arguments)) {
        return tarnwick::SelfTest::run(std::cout) == 0 ? 0 : 1;
    }
    std::fputs("tarnwick: the desktop application is not built yet; only --selftest works\n",
               stderr);
    return 2;
}
