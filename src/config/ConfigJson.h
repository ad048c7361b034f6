#pragma once

#include "config/AppConfig.h"

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

enum class JsonLayout {
    // One member per line, two-space indent, " : " between key and value.
    pretty,
    // The same document without any whitespace.
    compact,
};

// The document for config: keys sorted, "/" escaped, non-ASCII as raw UTF-8,
// ids in upper case, whole numbers without a fraction. Nothing when the
// corner sensitivity is not finite, which JSON cannot express.
std::optional<std::string> encodeConfig(const AppConfig& config,
                                        JsonLayout layout = JsonLayout::pretty);

// The configuration in bytes, read strictly: every required key with its
// exact JSON type, or nothing at all. Unknown keys are ignored.
std::optional<AppConfig> decodeConfig(std::string_view bytes);

} // namespace tarnwick
