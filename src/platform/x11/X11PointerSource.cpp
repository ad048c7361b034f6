#include "platform/x11/X11PointerSource.h"

#include "platform/x11/Display.h"
#include "platform/x11/EventListener.h"
#include "platform/x11/Reply.h"
#include "platform/x11/ScreenLayout.h"

#include <xcb/randr.h>
#include <xcb/sync.h>
#include <xcb/xcbext.h>
#include <xcb/xinerama.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::x11 {
namespace {

// A pause lasts as long as the pointer needs to reach the nearest corner's
// square (the largest the settings offer) at a glide faster than a hard
// flick, less a millisecond for the server's whole-millisecond clock and its
// lateness; below the shortest, every motion is followed instead, so that
// the last move into a corner is seen as it happens. The longest pause
// leaves room, within the 20 ms a quick touch of a corner lasts, for how
// late the answers have lately come (the server's lateness and ours in
// reading them): 15 ms on a quiet machine, less on a busy one, where
// answers came up to 9 ms late and fixed 15 ms pauses missed 5 of 2,000
// touches. A jump (a tablet, a touchscreen) is seen at most that late.
constexpr double kFlickPixelsPerMs = 30.0;
constexpr double kLargestCorner = 24.0;
constexpr std::int64_t kShortestPauseMs = 2;
constexpr std::int64_t kLongestPauseMs = 15;
constexpr double kQuickTouchMs = 20.0;
constexpr double kTouchMarginMs = 2.0;
// A late answer shortens the pauses for about a second of motion after it.
// One later than the most counted (a machine waking from sleep) counts as that.
constexpr double kLatenessForgottenPerPauseMs = 0.1;
constexpr double kMostLatenessMs = 10.0;

// Buttons 1 to 3 held: the move is a drag. 4 to 7 are the wheels' clicks.
constexpr std::uint16_t kButtonMask = 0x0700;

bool isWheel(std::uint32_t button) {
    return button >= 4 && button <= 7;
}

// The server's millisecond clock as a SYNC counter; none without SYNC.
xcb_sync_counter_t serverClock(xcb_connection_t* c) {
    const auto* ext = xcb_get_extension_data(c, &xcb_sync_id);
    if (ext == nullptr || ext->present == 0) {
        return XCB_NONE;
    }
    const auto version = xcb_sync_initialize(c, 3, 1);
    const auto counters = xcb_sync_list_system_counters(c);
    auto initialized = replyOf(xcb_sync_initialize_reply, c, version);
    auto reply = replyOf(xcb_sync_list_system_counters_reply, c, counters);
    if (!initialized || !reply) {
        return XCB_NONE;
    }
    // Read by hand: libxcb's iterator looks for each name two bytes late.
    // Each entry: counter (4), resolution (8), name length (2), name, padded to 4.
    const auto* at = reinterpret_cast<const std::uint8_t*>(reply.get() + 1);
    const auto* end = at + std::size_t{reply->length} * 4;
    for (std::uint32_t i = 0; i < reply->counters_len && at + 14 <= end; ++i) {
        xcb_sync_counter_t counter = 0;
        std::uint16_t length = 0;
        std::memcpy(&counter, at, sizeof counter);
        std::memcpy(&length, at + 12, sizeof length);
        if (at + 14 + length <= end &&
            std::string_view(reinterpret_cast<const char*>(at + 14), length) == "SERVERTIME") {
            return counter;
        }
        at += (14 + length + 3) & ~3U;
    }
    return XCB_NONE;
}

std::vector<Monitor> randrMonitors(xcb_connection_t* c, xcb_window_t root) {
    std::vector<Monitor> monitors;
    auto reply = replyOf(xcb_randr_get_monitors_reply, c, xcb_randr_get_monitors(c, root, 1));
    if (!reply) {
        return monitors;
    }
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        monitors.push_back(Monitor{it.data->x, it.data->y, it.data->width, it.data->height,
                                   it.data->primary != 0});
    }
    return monitors;
}

std::vector<Monitor> xineramaScreens(xcb_connection_t* c) {
    std::vector<Monitor> screens;
    const auto* ext = xcb_get_extension_data(c, &xcb_xinerama_id);
    if (ext == nullptr || ext->present == 0) {
        return screens;
    }
    auto active = replyOf(xcb_xinerama_is_active_reply, c, xcb_xinerama_is_active(c));
    if (!active || active->state == 0) {
        return screens;
    }
    auto reply = replyOf(xcb_xinerama_query_screens_reply, c, xcb_xinerama_query_screens(c));
    if (!reply) {
        return screens;
    }
    const auto* info = xcb_xinerama_query_screens_screen_info(reply.get());
    const int count = xcb_xinerama_query_screens_screen_info_length(reply.get());
    for (int i = 0; i < count; ++i) {
        screens.push_back(
            Monitor{info[i].x_org, info[i].y_org, info[i].width, info[i].height, false});
    }
    return screens;
}

std::vector<Monitor> rootArea(xcb_connection_t* c, xcb_window_t root) {
    auto geometry = replyOf(xcb_get_geometry_reply, c, xcb_get_geometry(c, root));
    if (!geometry) {
        return {};
    }
    return {Monitor{0, 0, geometry->width, geometry->height, true}};
}

} // namespace

class X11PointerSource::Impl final : public EventListener {
public:
    using Clock = std::chrono::steady_clock;

    explicit Impl(Display& display) : m_display(display), m_c(display.connection()) {
        m_display.addListener(*this);
        setUpRandr();
        setUpRawMotion();
        m_clock = serverClock(m_c);
        refreshScreens();
        xcb_flush(m_c);
    }

    ~Impl() override {
        if (m_sample) {
            xcb_discard_reply(m_c, m_sample->sequence);
        }
        m_display.removeListener(*this);
    }
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    bool available() const { return m_unavailableReason.empty(); }
    const std::string& unavailableReason() const { return m_unavailableReason; }

    std::optional<HandlerId> add(std::function<void()> handler) {
        if (!available()) {
            return std::nullopt;
        }
        const HandlerId id = m_nextHandlerId++;
        m_handlers.emplace_back(id, std::move(handler));
        return id;
    }

    void remove(HandlerId id) {
        // Emptied in place: removal may happen while the handlers run.
        for (auto& [handlerId, handler] : m_handlers) {
            if (handlerId == id) {
                handler = nullptr;
            }
        }
        if (!m_running) {
            std::erase_if(m_handlers, [](const auto& entry) { return !entry.second; });
        }
    }

    std::optional<Point> location() {
        if (m_display.connectionLost()) {
            return std::nullopt;
        }
        if (!m_location) {
            queryPointer();
        }
        return m_location;
    }

    std::span<const Rect> frames() const { return m_layout.frames(); }
    const Stats& stats() const { return m_stats; }

    void handleEvent(const xcb_generic_event_t& event) override {
        const std::uint8_t type = event.response_type & 0x7f;
        if (type == XCB_GE_GENERIC) {
            const auto& generic = reinterpret_cast<const xcb_ge_generic_event_t&>(event);
            if (generic.extension == m_xinputOpcode) {
                handleRawEvent(reinterpret_cast<const xcb_input_raw_button_press_event_t&>(event));
            }
        } else if (m_randrEventBase != 0 &&
                   (type == m_randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                    type == m_randrEventBase + XCB_RANDR_NOTIFY)) {
            m_screensChanged = true;
        } else if (type == XCB_CONFIGURE_NOTIFY &&
                   reinterpret_cast<const xcb_configure_notify_event_t&>(event).window ==
                       m_display.rootWindow()) {
            m_screensChanged = true;
        }
    }

    void endOfBatch() override {
        if (m_screensChanged) {
            m_screensChanged = false;
            refreshScreens();
        }
        if (m_sample) {
            takeSample();
        }
        if (m_moved) {
            m_moved = false;
            const auto before = m_location;
            queryPointer();
            runHandlersIfMoved(before, /*sawMotion=*/true);
            pause();
        }
    }

    bool dragging() const { return m_dragging; }
    bool listening() const { return !m_paused; }

private:
    // Buttons are followed even during a pause: a drag must be known as one
    // however short it was and wherever it ended.
    void handleRawEvent(const xcb_input_raw_button_press_event_t& raw) {
        switch (raw.event_type) {
        case XCB_INPUT_RAW_MOTION:
            ++m_stats.rawMotionEvents;
            // Sent before the pause began: the query at its end covers them.
            if (!m_paused) {
                m_moved = true;
                m_dragMotion = m_dragMotion || m_heldButtons != 0;
            }
            break;
        case XCB_INPUT_RAW_BUTTON_PRESS:
            if (!isWheel(raw.detail)) {
                m_heldButtons |= buttonBit(raw.detail);
                // Unseen motion in a pause may have happened while it was held.
                m_dragMotion = m_dragMotion || m_paused;
            }
            break;
        case XCB_INPUT_RAW_BUTTON_RELEASE: m_heldButtons &= ~buttonBit(raw.detail); break;
        default: break;
        }
    }

    static std::uint64_t buttonBit(std::uint32_t button) {
        return button < 64 ? std::uint64_t{1} << button : 0;
    }

    void setUpRawMotion() {
        const auto* ext = xcb_get_extension_data(m_c, &xcb_input_id);
        if (ext == nullptr || ext->present == 0) {
            m_unavailableReason = "the X server has no XInput extension";
            return;
        }
        // 2.2 delivers raw events to the root window even while another client grabs.
        auto version =
            replyOf(xcb_input_xi_query_version_reply, m_c, xcb_input_xi_query_version(m_c, 2, 2));
        if (!version || version->major_version < 2 ||
            (version->major_version == 2 && version->minor_version < 2)) {
            m_unavailableReason = "the X server has no XInput 2.2";
            return;
        }
        m_xinputOpcode = ext->major_opcode;
        selectRawMotion(true);
    }

    void selectRawMotion(bool on) {
        const std::uint32_t buttons =
            XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
        struct {
            xcb_input_event_mask_t head;
            std::uint32_t bits;
        } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
               on ? buttons | XCB_INPUT_XI_EVENT_MASK_RAW_MOTION : buttons};
        xcb_input_xi_select_events(m_c, m_display.rootWindow(), 1, &mask.head);
    }

    // Stops listening to motion for a pause on the server's clock, at whose
    // end the server says where the pointer is. False, and nothing done,
    // within reach of a corner.
    bool pause() {
        const std::int64_t length = pauseAfterMotion();
        if (length == 0) {
            return false;
        }
        // Whatever moves in the pause while this is held is a drag.
        m_dragMotion = m_dragMotion || m_heldButtons != 0;
        if (!m_paused) {
            m_paused = true;
            ++m_stats.pauses;
            selectRawMotion(false);
        }
        // The server holds back our next requests until the time has come.
        // One answer, alone: a second could come in a later write of the
        // server's, and wake us twice.
        xcb_sync_waitcondition_t condition{};
        condition.trigger.counter = m_clock;
        condition.trigger.wait_type = XCB_SYNC_VALUETYPE_RELATIVE;
        condition.trigger.wait_value = {0, static_cast<std::uint32_t>(length)};
        condition.trigger.test_type = XCB_SYNC_TESTTYPE_POSITIVE_COMPARISON;
        // No notification events: the answer below is what we wait for.
        condition.event_threshold = {std::numeric_limits<std::int32_t>::max(),
                                     std::numeric_limits<std::uint32_t>::max()};
        xcb_sync_await(m_c, 1, &condition);
        m_sample = xcb_query_pointer(m_c, m_display.rootWindow());
        xcb_flush(m_c);
        m_sampleDue = Clock::now() + std::chrono::milliseconds(length);
        return true;
    }

    // The answer at the end of a pause, once it is there. While the pointer
    // keeps moving away from the corners the next pause follows at once,
    // without ever listening to the motion in between.
    void takeSample() {
        xcb_query_pointer_reply_t* answer = nullptr;
        xcb_generic_error_t* error = nullptr;
        if (xcb_poll_for_reply(m_c, m_sample->sequence, reinterpret_cast<void**>(&answer),
                               &error) == 0) {
            return;
        }
        std::free(error);
        const XcbPtr<xcb_query_pointer_reply_t> reply(answer);
        m_sample.reset();
        ++m_stats.pointerQueries;
        const double late =
            std::chrono::duration<double, std::milli>(Clock::now() - m_sampleDue).count();
        m_lateness =
            std::max(std::min(late, kMostLatenessMs), m_lateness - kLatenessForgottenPerPauseMs);
        const auto before = m_location;
        if (takePosition(reply.get()) && !samePlace(before, m_location)) {
            runHandlersIfMoved(before, false);
            if (pause()) {
                return;
            }
        }
        listen();
    }

    // At rest, or within reach of a corner: listen again, then look once
    // more for a move made in between.
    void listen() {
        m_paused = false;
        selectRawMotion(true);
        const auto before = m_location;
        queryPointer();
        runHandlersIfMoved(before, false);
    }

    static bool samePlace(const std::optional<Point>& a, const std::optional<Point>& b) {
        return a.has_value() == b.has_value() && (!a || (a->x == b->x && a->y == b->y));
    }

    // After raw motion, or when a pause ends somewhere else. A pause that
    // ends in place ran its handlers already.
    void runHandlersIfMoved(const std::optional<Point>& before, bool sawMotion) {
        if (!m_location || (!sawMotion && samePlace(before, m_location))) {
            return;
        }
        m_stats.drags += m_dragging ? 1 : 0;
        runHandlers();
    }

    void setUpRandr() {
        const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_c, m_display.rootWindow(), XCB_CW_EVENT_MASK, &structure);
        const auto* ext = xcb_get_extension_data(m_c, &xcb_randr_id);
        if (ext == nullptr || ext->present == 0) {
            return;
        }
        auto version =
            replyOf(xcb_randr_query_version_reply, m_c, xcb_randr_query_version(m_c, 1, 5));
        if (!version) {
            return;
        }
        m_randrHasMonitors = version->major_version > 1 || version->minor_version >= 5;
        m_randrEventBase = ext->first_event;
        xcb_randr_select_input(m_c, m_display.rootWindow(),
                               XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                                   XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
    }

    void refreshScreens() {
        ++m_stats.screenRefreshes;
        std::vector<Monitor> monitors;
        if (m_randrHasMonitors) {
            monitors = randrMonitors(m_c, m_display.rootWindow());
        }
        // A nested or older server may know its heads only through Xinerama.
        if (auto heads = xineramaScreens(m_c); heads.size() > monitors.size()) {
            monitors = std::move(heads);
        }
        if (monitors.empty()) {
            monitors = rootArea(m_c, m_display.rootWindow());
        }
        m_layout = ScreenLayout(monitors);
        // Positions taken under the old layout mean nothing now.
        m_location.reset();
    }

    bool queryPointer() {
        ++m_stats.pointerQueries;
        auto reply =
            replyOf(xcb_query_pointer_reply, m_c, xcb_query_pointer(m_c, m_display.rootWindow()));
        return takePosition(reply.get());
    }

    bool takePosition(const xcb_query_pointer_reply_t* reply) {
        if (reply == nullptr || reply->same_screen == 0) {
            m_location.reset();
            return false;
        }
        m_location = m_layout.toGlobal(reply->root_x, reply->root_y);
        const bool draggedBefore = std::exchange(m_dragMotion, false);
        m_dragging = draggedBefore || (reply->mask & kButtonMask) != 0;
        return true;
    }

    // In ms; 0 for none.
    std::int64_t pauseAfterMotion() const {
        if (!m_location || m_clock == XCB_NONE) {
            return 0;
        }
        // The hit squares are measured along the larger axis distance, so is this.
        double nearest = std::numeric_limits<double>::infinity();
        for (const Rect& frame : m_layout.frames()) {
            for (const double x : {frame.minX(), frame.maxX()}) {
                for (const double y : {frame.minY(), frame.maxY()}) {
                    nearest = std::min(nearest, std::max(std::abs(m_location->x - x),
                                                         std::abs(m_location->y - y)));
                }
            }
        }
        const double reach = (nearest - kLargestCorner) / kFlickPixelsPerMs - 1;
        if (!(reach >= static_cast<double>(kShortestPauseMs))) {
            return 0;
        }
        const double longest =
            std::clamp(kQuickTouchMs - kTouchMarginMs - m_lateness,
                       static_cast<double>(kShortestPauseMs), static_cast<double>(kLongestPauseMs));
        return static_cast<std::int64_t>(std::min(reach, longest));
    }

    void runHandlers() {
        ++m_stats.handlerRuns;
        m_running = true;
        // By index: a handler may add another.
        for (std::size_t i = 0; i < m_handlers.size(); ++i) {
            if (m_handlers[i].second) {
                // A copy, so that a handler may remove itself while it runs.
                auto handler = m_handlers[i].second;
                handler();
            }
        }
        m_running = false;
        std::erase_if(m_handlers, [](const auto& entry) { return !entry.second; });
    }

    Display& m_display;
    xcb_connection_t* m_c;
    xcb_sync_counter_t m_clock = XCB_NONE;
    // The pointer query answered at the end of a pause, and when it is due.
    std::optional<xcb_query_pointer_cookie_t> m_sample;
    Clock::time_point m_sampleDue;
    // How late answers have lately come, in ms.
    double m_lateness = 0;
    std::string m_unavailableReason;
    std::uint8_t m_xinputOpcode = 0;
    std::uint8_t m_randrEventBase = 0;
    bool m_randrHasMonitors = false;
    ScreenLayout m_layout;
    std::optional<Point> m_location;
    // A button held at the last query, or during motion before it.
    bool m_dragging = false;
    // Motion since the last query may have been made with a button held.
    bool m_dragMotion = false;
    std::uint64_t m_heldButtons = 0;
    bool m_moved = false;
    bool m_screensChanged = false;
    bool m_running = false;
    bool m_paused = false;
    HandlerId m_nextHandlerId = 1;
    std::vector<std::pair<HandlerId, std::function<void()>>> m_handlers;
    Stats m_stats;
};

X11PointerSource::X11PointerSource(Display& display) : m_impl(std::make_unique<Impl>(display)) {}
X11PointerSource::~X11PointerSource() = default;

bool X11PointerSource::available() const {
    return m_impl->available();
}
std::string X11PointerSource::unavailableReason() const {
    return m_impl->unavailableReason();
}

std::optional<PointerSource::HandlerId>
X11PointerSource::addPointerMovedHandler(std::function<void()> handler) {
    return m_impl->add(std::move(handler));
}

void X11PointerSource::removePointerMovedHandler(HandlerId id) {
    m_impl->remove(id);
}
std::optional<Point> X11PointerSource::pointerLocation() {
    return m_impl->location();
}
bool X11PointerSource::dragging() {
    return m_impl->dragging();
}
std::span<const Rect> X11PointerSource::screenFrames() {
    return m_impl->frames();
}
X11PointerSource::Stats X11PointerSource::stats() const {
    return m_impl->stats();
}
bool X11PointerSource::listening() const {
    return m_impl->listening();
}

} // namespace tarnwick::x11
