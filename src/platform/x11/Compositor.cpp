#include "platform/x11/Compositor.h"

#include "platform/x11/Display.h"
#include "platform/x11/Reply.h"

#include <xcb/xfixes.h>

#include <string>

namespace tarnwick::x11 {
namespace {

xcb_atom_t atom(xcb_connection_t* c, const std::string& name) {
    auto reply =
        replyOf(xcb_intern_atom_reply, c,
                xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

int screenNumberOf(const Display& display) {
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(display.connection())); it.rem > 0;
         xcb_screen_next(&it), ++number) {
        if (it.data->root == display.rootWindow()) {
            return number;
        }
    }
    return 0;
}

// The compositing manager owns this selection, per the EWMH.
xcb_atom_t compositorSelection(const Display& display) {
    return atom(display.connection(), "_NET_WM_CM_S" + std::to_string(screenNumberOf(display)));
}

} // namespace

bool compositorRunning(Display& display) {
    xcb_connection_t* c = display.connection();
    const xcb_atom_t selection = compositorSelection(display);
    if (selection == XCB_ATOM_NONE) {
        return false;
    }
    auto owner = replyOf(xcb_get_selection_owner_reply, c, xcb_get_selection_owner(c, selection));
    return owner && owner->owner != XCB_NONE;
}

void askForBlurBehind(Display& display, std::uint32_t window) {
    xcb_connection_t* c = display.connection();
    const xcb_atom_t blur = atom(c, "_KDE_NET_WM_BLUR_BEHIND_REGION");
    if (blur == XCB_ATOM_NONE) {
        return;
    }
    // An empty region means the whole window.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, blur, XCB_ATOM_CARDINAL, 32, 0, nullptr);
    xcb_flush(c);
}

CompositorWatch::CompositorWatch(Display& display, std::function<void(bool)> onChange)
    : m_display(display), m_onChange(std::move(onChange)) {
    xcb_connection_t* c = display.connection();
    const auto* ext = xcb_get_extension_data(c, &xcb_xfixes_id);
    const xcb_atom_t selection = compositorSelection(display);
    // XFixes answers nothing else until its version has been asked.
    auto version = ext != nullptr && ext->present != 0
                       ? replyOf(xcb_xfixes_query_version_reply, c,
                                 xcb_xfixes_query_version(c, XCB_XFIXES_MAJOR_VERSION,
                                                          XCB_XFIXES_MINOR_VERSION))
                       : nullptr;
    if (!version || selection == XCB_ATOM_NONE) {
        return;
    }
    m_eventBase = ext->first_event;
    xcb_xfixes_select_selection_input(c, display.rootWindow(), selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
    display.addListener(*this);
    m_listening = true;
}

CompositorWatch::~CompositorWatch() {
    if (m_listening) {
        m_display.removeListener(*this);
    }
}

void CompositorWatch::handleEvent(const xcb_generic_event_t& event) {
    if (m_eventBase == 0 ||
        (event.response_type & 0x7f) != m_eventBase + XCB_XFIXES_SELECTION_NOTIFY) {
        return;
    }
    const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
    if (m_onChange) {
        m_onChange(notify.owner != XCB_NONE);
    }
}

} // namespace tarnwick::x11
