#include "platform/wayland/WaylandBackend.h"

#include "platform/xkb/XkbKeys.h"

#include <cstdlib>

namespace tarnwick::wayland {

// A compositor shows no client the pointer outside its own surfaces.
class WaylandBackend::NoPointer final : public PointerSource {
public:
    std::optional<HandlerId> addPointerMovedHandler(std::function<void()>) override {
        return std::nullopt;
    }
    void removePointerMovedHandler(HandlerId) override {}
    std::optional<Point> pointerLocation() override { return std::nullopt; }
    bool dragging() override { return false; }
    std::span<const Rect> screenFrames() override { return {}; }
};

// Nor does it let a client grab keys: every registration is refused.
class WaylandBackend::NoKeyGrabs final : public HotkeyService {
public:
    // X's BadImplementation: the desktop does not do this.
    static constexpr std::int32_t unsupported = 17;

    void installPressHandler(std::function<void(std::uint32_t)>) override {}
    HotkeyRegistration registerHotkey(std::uint32_t, std::uint32_t, std::uint32_t) override {
        return HotkeyRefusal{unsupported};
    }
    void unregisterHotkey(HotkeyHandle) override {}
};

WaylandBackend::WaylandBackend(std::unique_ptr<GlobalShortcuts> shortcuts)
    : m_pointer(std::make_unique<NoPointer>()), m_hotkeys(std::make_unique<NoKeyGrabs>()),
      // Qt gives the compositor's keycode as the native scan code; the
      // compositor's own layout is not ours to read, so names follow the default.
      m_keys(std::make_unique<xkb::DefaultKeymap>()), m_shortcuts(std::move(shortcuts)) {}

WaylandBackend::~WaylandBackend() = default;

std::string WaylandBackend::socketPath(std::string_view waylandDisplay,
                                       std::string_view runtimeDirectory) {
    const std::string name(waylandDisplay.empty() ? "wayland-0" : waylandDisplay);
    return name.starts_with('/') ? name : std::string(runtimeDirectory) + "/" + name;
}

PointerSource& WaylandBackend::pointer() {
    return *m_pointer;
}

HotkeyService& WaylandBackend::hotkeys() {
    return *m_hotkeys;
}

KeyTranslation& WaylandBackend::keys() {
    return *m_keys;
}

std::string WaylandBackend::sessionName() const {
    const char* display = std::getenv("WAYLAND_DISPLAY");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return socketPath(display != nullptr ? display : "", runtime != nullptr ? runtime : "");
}

std::vector<std::string> WaylandBackend::unavailableReasons() const {
    // Corners are the application's to report: KWin may watch them for us.
    if (!m_shortcuts) {
        return {"a Wayland compositor lets no program grab keys"};
    }
    return {};
}

// Qt's Wayland connection is the only one: when the compositor goes, Qt
// itself ends the program, before any handler of ours could run.
void WaylandBackend::start(std::function<void()>) {}

} // namespace tarnwick::wayland
