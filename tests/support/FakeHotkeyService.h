#pragma once

#include "services/HotkeyService.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace tarnwick::test {

// Records what the manager asks of the platform and answers as told.
class FakeHotkeyService final : public HotkeyService {
public:
    struct RegisterCall {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        std::uint32_t id;
        friend bool operator==(const RegisterCall&, const RegisterCall&) = default;
    };

    void installPressHandler(std::function<void(std::uint32_t id)> onPress) override {
        m_onPress = std::move(onPress);
    }

    HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t modifiers,
                                      std::uint32_t id) override {
        registerCalls.push_back({keyCode, modifiers, id});
        if (const auto held = heldElsewhere.find(keyCode); held != heldElsewhere.end()) {
            return HotkeyRefusal{held->second};
        }
        const HotkeyHandle handle{m_nextHandle++};
        issued.push_back(handle);
        return handle;
    }

    void unregisterHotkey(HotkeyHandle handle) override { unregistered.push_back(handle); }

    // Plays a press the way the platform would; false when no handler is installed.
    bool press(std::uint32_t id) {
        if (m_onPress) {
            m_onPress(id);
        }
        return static_cast<bool>(m_onPress);
    }

    // Key codes another program holds -> the status their refusal carries
    // (10 is X's BadAccess).
    std::map<std::uint32_t, std::int32_t> heldElsewhere;

    std::vector<RegisterCall> registerCalls;
    std::vector<HotkeyHandle> issued;
    std::vector<HotkeyHandle> unregistered;

private:
    std::function<void(std::uint32_t)> m_onPress;
    std::uint64_t m_nextHandle = 500;
};

} // namespace tarnwick::test
