// Any bytes: the decoder answers a configuration or nothing, never crashes,
// and whatever it accepts survives our own encoder unchanged.
#include "config/ConfigJson.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto config = tarnwick::decodeConfig(bytes);
    if (!config) {
        return 0;
    }
    const auto encoded = tarnwick::encodeConfig(*config);
    if (!encoded) {
        std::abort(); // A decoded configuration is always finite.
    }
    const auto again = tarnwick::decodeConfig(*encoded);
    if (!again || again->bindings != config->bindings ||
        again->globalEnabled != config->globalEnabled ||
        again->cornerSensitivity != config->cornerSensitivity) {
        std::abort();
    }
    return 0;
}
