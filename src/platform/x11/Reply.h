#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace tarnwick::x11 {

struct XcbFree {
    void operator()(void* p) const { std::free(p); }
};

template <typename T> using XcbPtr = std::unique_ptr<T, XcbFree>;

// Waits for the reply of cookie; nothing when the request failed (the error
// is dropped, not left to arrive as an event).
template <typename Reply, typename Cookie>
XcbPtr<Reply> replyOf(Reply* (*getReply)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                      xcb_connection_t* c, Cookie cookie) {
    xcb_generic_error_t* error = nullptr;
    XcbPtr<Reply> reply(getReply(c, cookie, &error));
    std::free(error);
    return reply;
}

} // namespace tarnwick::x11
