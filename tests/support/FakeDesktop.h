#pragma once

#include "keys/KeyTable.h"
#include "services/DesktopBackend.h"
#include "support/FakeGlobalShortcuts.h"
#include "support/FakeHotkeyService.h"
#include "support/FakePointerSource.h"

#include <map>
#include <optional>

namespace tarnwick::test {

// A desktop of fakes: one screen, the pointer in its middle, keys as an evdev
// keymap names them (X keycode = evdev code + 8), no compositor until the
// test says so; the desktop keeps the keys once the test gives it a portal.
class FakeDesktop final : public DesktopBackend, public KeyTranslation, public WindowEffects {
public:
    FakeDesktop() {
        pointerSource.screens = {{0, 0, 1000, 800}};
        pointerSource.position = Point{500, 400};
    }

    PointerSource& pointer() override { return pointerSource; }
    HotkeyService& hotkeys() override { return hotkeyService; }
    KeyTranslation& keys() override { return *this; }
    WindowEffects& windowEffects() override { return *this; }
    GlobalShortcuts* globalShortcuts() override { return portal ? &*portal : nullptr; }
    std::string sessionName() const override { return "fake"; }
    std::vector<std::string> unavailableReasons() const override { return {}; }
    void start(std::function<void()>) override {}

    std::optional<std::uint32_t> virtualKeyFor(std::uint32_t keycode) const override {
        const auto key =
            keycode >= evdevOffset ? keyForEvdevCode(keycode - evdevOffset) : std::nullopt;
        return key ? std::optional<std::uint32_t>(key->virtualKey) : std::nullopt;
    }
    std::optional<std::string> keyName(std::uint32_t virtualKey) const override {
        const auto name = keyNames.find(virtualKey);
        return name != keyNames.end() ? std::optional(name->second) : std::nullopt;
    }
    bool translucencyAvailable() override { return composited; }
    void blurBehind(std::uint64_t) override {}
    void watchTranslucency(std::function<void(bool)> onChange) override {
        compositorChanged = std::move(onChange);
    }

    std::size_t liveHotkeys() const {
        return hotkeyService.issued.size() - hotkeyService.unregistered.size();
    }

    FakePointerSource pointerSource;
    FakeHotkeyService hotkeyService;
    std::optional<FakeGlobalShortcuts> portal;
    // What a US layout names the keys the tests use: T, Y.
    std::map<std::uint32_t, std::string> keyNames{{17, "T"}, {16, "Y"}};
    bool composited = false;
    std::function<void(bool)> compositorChanged;
};

} // namespace tarnwick::test
