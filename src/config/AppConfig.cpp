#include "config/AppConfig.h"

namespace tarnwick {
namespace {

template <typename Enum, std::size_t N>
std::optional<Enum> fromRawValue(const std::array<Enum, N>& cases, std::string_view text) {
    for (Enum candidate : cases) {
        if (rawValue(candidate) == text) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace

std::string_view rawValue(ScreenCorner corner) {
    switch (corner) {
    case ScreenCorner::topLeft: return "topLeft";
    case ScreenCorner::topRight: return "topRight";
    case ScreenCorner::bottomLeft: return "bottomLeft";
    case ScreenCorner::bottomRight: return "bottomRight";
    }
    return {};
}

std::string_view rawValue(TriggerKind kind) {
    switch (kind) {
    case TriggerKind::corner: return "corner";
    case TriggerKind::hotkey: return "hotkey";
    }
    return {};
}

std::string_view label(ScreenCorner corner) {
    switch (corner) {
    case ScreenCorner::topLeft: return "Top-Left";
    case ScreenCorner::topRight: return "Top-Right";
    case ScreenCorner::bottomLeft: return "Bottom-Left";
    case ScreenCorner::bottomRight: return "Bottom-Right";
    }
    return {};
}

std::string_view label(TriggerKind kind) {
    switch (kind) {
    case TriggerKind::corner: return "Hot Corner";
    case TriggerKind::hotkey: return "Hotkey";
    }
    return {};
}

std::optional<ScreenCorner> screenCornerFromRawValue(std::string_view text) {
    return fromRawValue(allScreenCorners, text);
}

std::optional<TriggerKind> triggerKindFromRawValue(std::string_view text) {
    return fromRawValue(allTriggerKinds, text);
}

std::string Trigger::summary() const {
    if (kind == TriggerKind::hotkey) {
        return hotkey ? hotkey->display : std::string("Not set");
    }
    return corner ? std::string(label(*corner)) : std::string("\u2014");
}

} // namespace tarnwick
