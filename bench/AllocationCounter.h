#pragma once

#include <cstdint>

namespace tarnwick::bench {

// Heap allocations made by this process so far (operator new is replaced).
std::uint64_t allocationCount();

} // namespace tarnwick::bench
