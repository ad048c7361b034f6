#include "config/ConfigJson.h"

#include "config/JsonEmitter.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <new>

namespace tarnwick {
namespace {

using Json = nlohmann::json;

// ---- Encoding. Keys are written in ascending order by hand: the key sets
// are fixed, and the file's order is part of its format.

void encodeCombo(JsonEmitter& out, const HotkeyCombo& combo) {
    out.beginObject();
    out.key("display");
    out.string(combo.display);
    out.key("keyCode");
    out.number(combo.keyCode);
    out.key("modifiers");
    out.number(combo.modifiers);
    out.endObject();
}

void encodeTrigger(JsonEmitter& out, const Trigger& trigger) {
    out.beginObject();
    if (trigger.corner) {
        out.key("corner");
        out.string(rawValue(*trigger.corner));
    }
    if (trigger.hotkey) {
        out.key("hotkey");
        encodeCombo(out, *trigger.hotkey);
    }
    out.key("kind");
    out.string(rawValue(trigger.kind));
    out.endObject();
}

void encodeBinding(JsonEmitter& out, const CommandBinding& binding) {
    out.beginObject();
    out.key("command");
    out.string(binding.command);
    out.key("enabled");
    out.boolean(binding.enabled);
    out.key("id");
    out.string(binding.id.toString());
    out.key("name");
    out.string(binding.name);
    out.key("trigger");
    encodeTrigger(out, binding.trigger);
    out.endObject();
}

// ---- Decoding. Every helper answers nothing on the first fault; the
// caller passes that straight up, so one bad field fails the document.

// The value under key, or null when the key is missing or holds null.
Json* member(Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return nullptr;
    }
    return &*found;
}

// Moves the text out: the document is thrown away after decoding.
std::optional<std::string> takeStringMember(Json& object, const char* key) {
    Json* value = member(object, key);
    if (value == nullptr || !value->is_string()) {
        return std::nullopt;
    }
    return std::move(value->get_ref<std::string&>());
}

std::optional<bool> boolMember(Json& object, const char* key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_boolean()) {
        return std::nullopt;
    }
    return value->get<bool>();
}

std::optional<double> finiteNumberMember(Json& object, const char* key) {
    const Json* value = member(object, key);
    if (value == nullptr || !value->is_number()) {
        return std::nullopt;
    }
    const auto number = value->get<double>();
    if (!std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

// A whole number from 0 to 4294967295, whichever way the parser stored it.
std::optional<std::uint32_t> uint32Member(Json& object, const char* key) {
    const Json* value = member(object, key);
    if (value == nullptr) {
        return std::nullopt;
    }
    constexpr auto maximum = std::numeric_limits<std::uint32_t>::max();
    if (value->is_number_unsigned()) {
        const auto number = value->get<std::uint64_t>();
        return number <= maximum ? std::optional(static_cast<std::uint32_t>(number)) : std::nullopt;
    }
    if (value->is_number_integer()) {
        const auto number = value->get<std::int64_t>();
        return number >= 0 && number <= maximum ? std::optional(static_cast<std::uint32_t>(number))
                                                : std::nullopt;
    }
    if (value->is_number_float()) {
        const auto number = value->get<double>();
        if (std::isfinite(number) && std::trunc(number) == number && number >= 0 &&
            number <= maximum) {
            return static_cast<std::uint32_t>(number);
        }
    }
    return std::nullopt;
}

std::optional<HotkeyCombo> decodeCombo(Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    auto display = takeStringMember(json, "display");
    const auto keyCode = uint32Member(json, "keyCode");
    const auto modifiers = uint32Member(json, "modifiers");
    if (!display || !keyCode || !modifiers) {
        return std::nullopt;
    }
    return HotkeyCombo{*keyCode, *modifiers, std::move(*display)};
}

std::optional<Trigger> decodeTrigger(Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    const auto kindText = takeStringMember(json, "kind");
    const auto kind = kindText ? triggerKindFromRawValue(*kindText) : std::nullopt;
    if (!kind) {
        return std::nullopt;
    }
    Trigger trigger{*kind};
    if (const Json* corner = member(json, "corner")) {
        if (!corner->is_string()) {
            return std::nullopt;
        }
        trigger.corner = screenCornerFromRawValue(corner->get_ref<const std::string&>());
        if (!trigger.corner) {
            return std::nullopt;
        }
    }
    if (Json* hotkey = member(json, "hotkey")) {
        trigger.hotkey = decodeCombo(*hotkey);
        if (!trigger.hotkey) {
            return std::nullopt;
        }
    }
    return trigger;
}

std::optional<CommandBinding> decodeBinding(Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    auto command = takeStringMember(json, "command");
    const auto enabled = boolMember(json, "enabled");
    const auto idText = takeStringMember(json, "id");
    const auto id = idText ? Uuid::parse(*idText) : std::nullopt;
    auto name = takeStringMember(json, "name");
    Json* triggerJson = member(json, "trigger");
    auto trigger = triggerJson ? decodeTrigger(*triggerJson) : std::nullopt;
    if (!command || !enabled || !id || !name || !trigger) {
        return std::nullopt;
    }
    return CommandBinding(*id, std::move(*name), std::move(*trigger), std::move(*command),
                          *enabled);
}

std::optional<AppConfig> decodeRoot(Json& json) {
    if (!json.is_object()) {
        return std::nullopt;
    }
    Json* bindingsJson = member(json, "bindings");
    const auto sensitivity = finiteNumberMember(json, "cornerSensitivity");
    const auto globalEnabled = boolMember(json, "globalEnabled");
    if (bindingsJson == nullptr || !bindingsJson->is_array() || !sensitivity || !globalEnabled) {
        return std::nullopt;
    }
    AppConfig config;
    config.globalEnabled = *globalEnabled;
    config.cornerSensitivity = *sensitivity;
    config.bindings.reserve(bindingsJson->size());
    for (Json& element : *bindingsJson) {
        auto binding = decodeBinding(element);
        if (!binding) {
            return std::nullopt;
        }
        config.bindings.push_back(std::move(*binding));
    }
    return config;
}

} // namespace

std::optional<std::string> encodeConfig(const AppConfig& config, JsonLayout layout) {
    JsonEmitter out(layout);
    out.beginObject();
    out.key("bindings");
    out.beginArray();
    for (const CommandBinding& binding : config.bindings) {
        encodeBinding(out, binding);
    }
    out.endArray();
    out.key("cornerSensitivity");
    if (!out.number(config.cornerSensitivity)) {
        return std::nullopt;
    }
    out.key("globalEnabled");
    out.boolean(config.globalEnabled);
    out.endObject();
    return out.take();
}

std::optional<AppConfig> decodeConfig(std::string_view bytes) {
    try {
        Json document = Json::parse(bytes.begin(), bytes.end(), nullptr,
                                    /*allow_exceptions=*/false);
        if (document.is_discarded()) {
            return std::nullopt;
        }
        return decodeRoot(document);
    } catch (const std::bad_alloc&) {
        // A document too large for memory is as unusable as a broken one.
        return std::nullopt;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace tarnwick
