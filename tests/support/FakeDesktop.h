#pragma once

#include "platform/x11/KeyTable.h"
#include "services/DesktopBackend.h"
#include "support/FakeHotkeyService.h"
#include "support/FakePointerSource.h"

namespace tarnwick::test {

// A desktop of fakes: one screen, the pointer in its middle, keys as an evdev
// keymap names them (X keycode = evdev code + 8), no compositor.
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
    std::string sessionName() const override { return "fake"; }
    std::vector<std::string> unavailableReasons() const override { return {}; }
    void start(std::function<void()>) override {}

    std::optional<std::uint32_t> virtualKeyFor(std::uint32_t keycode) const override {
        const auto key = keycode >= 8 ? x11::keyForEvdevCode(keycode - 8) : std::nullopt;
        return key ? std::optional<std::uint32_t>(key->virtualKey) : std::nullopt;
    }
    bool translucencyAvailable() override { return false; }
    void blurBehind(std::uint64_t) override {}

    std::size_t liveHotkeys() const {
        return hotkeyService.issued.size() - hotkeyService.unregistered.size();
    }

    FakePointerSource pointerSource;
    FakeHotkeyService hotkeyService;
};

} // namespace tarnwick::test
