#include "support/TestClient.h"

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>

namespace tarnwick::test {

std::unique_ptr<TestClient> TestClient::connect(const std::string& display) {
    xcb_connection_t* c = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        return nullptr;
    }
    return std::unique_ptr<TestClient>(new TestClient(c));
}

TestClient::TestClient(xcb_connection_t* c)
    : m_c(c), m_root(xcb_setup_roots_iterator(xcb_get_setup(c)).data->root) {}

TestClient::~TestClient() {
    xcb_disconnect(m_c);
}

void TestClient::moveTo(int x, int y) {
    xcb_test_fake_input(m_c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    xcb_flush(m_c);
}

void TestClient::button(int number, bool down) {
    xcb_test_fake_input(m_c, down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                        static_cast<std::uint8_t>(number), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(m_c);
}

void TestClient::key(std::uint8_t keycode, bool down) {
    xcb_test_fake_input(m_c, down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, keycode, XCB_CURRENT_TIME,
                        XCB_NONE, 0, 0, 0);
    xcb_flush(m_c);
}

void TestClient::chord(std::initializer_list<std::uint8_t> modifierKeys, std::uint8_t keycode) {
    for (const auto modifier : modifierKeys) {
        key(modifier, true);
    }
    key(keycode, true);
    key(keycode, false);
    for (auto it = std::rbegin(modifierKeys); it != std::rend(modifierKeys); ++it) {
        key(*it, false);
    }
    sync();
}

void TestClient::sync() {
    std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
}

void TestClient::coverScreenWithMotionWindow() {
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
    m_window = xcb_generate_id(m_c);
    const std::uint32_t values[] = {XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_BUTTON_PRESS |
                                    XCB_EVENT_MASK_BUTTON_RELEASE};
    xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, screen->width_in_pixels,
                      screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_EVENT_MASK, values);
    xcb_map_window(m_c, m_window);
    sync();
}

bool TestClient::grabPointer() {
    const auto cookie = xcb_grab_pointer(m_c, 0, m_window != 0 ? m_window : m_root,
                                         XCB_EVENT_MASK_POINTER_MOTION, XCB_GRAB_MODE_ASYNC,
                                         XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME);
    auto* reply = xcb_grab_pointer_reply(m_c, cookie, nullptr);
    const bool ok = reply != nullptr && reply->status == XCB_GRAB_STATUS_SUCCESS;
    std::free(reply);
    return ok;
}

int TestClient::grabKey(std::uint8_t keycode, std::uint16_t modifiers) {
    xcb_generic_error_t* error =
        xcb_request_check(m_c, xcb_grab_key_checked(m_c, 0, m_root, modifiers, keycode,
                                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    const int code = error != nullptr ? error->error_code : 0;
    std::free(error);
    return code;
}

void TestClient::ungrabKey(std::uint8_t keycode, std::uint16_t modifiers) {
    xcb_ungrab_key(m_c, keycode, m_root, modifiers);
    sync();
}

} // namespace tarnwick::test
