#include "platform/x11/Compositor.h"

#include "platform/x11/Display.h"
#include "platform/x11/Reply.h"

#include <string>

namespace tarnwick::x11 {
namespace {

xcb_atom_t atom(xcb_connection_t* c, const std::string& name) {
    auto reply =
        replyOf(xcb_intern_atom_reply, c,
                xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

int screenNumberOf(Display& display) {
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(display.connection())); it.rem > 0;
         xcb_screen_next(&it), ++number) {
        if (it.data->root == display.rootWindow()) {
            return number;
        }
    }
    return 0;
}

} // namespace

bool compositorRunning(Display& display) {
    xcb_connection_t* c = display.connection();
    // The compositing manager owns this selection, per the EWMH.
    const xcb_atom_t selection = atom(c, "_NET_WM_CM_S" + std::to_string(screenNumberOf(display)));
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

} // namespace tarnwick::x11
